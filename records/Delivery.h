#pragma once

#include "records/DatabaseUrl.h"
#include "records/Spool.h"
#include "records/StoredRun.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace records {

class Connection;

/// What one delivery did.
struct DeliveryReport {
    int stored = 0;         ///< runs the database took now: spooled ones, then the new one
    bool newStored = false; ///< the new run is among them
    bool spooled = false;   ///< the new run waits in the spool
    int waiting = 0;        ///< runs left in the spool
    QString problem;        ///< why the database took no more; empty when it took them all
    QString lost;           ///< why the new run could be kept nowhere; empty when it was kept
    /// Spool files set aside, each with why: one that is no run (renamed *.unreadable), one
    /// the database refused while it answered (renamed *.refused). Left for someone to look at.
    QStringList setAside;
};

/// Delivers runs to the database, never losing one: a new run is written to the spool first,
/// flushed to disk, then the runs waiting there go to the database, oldest first, each file
/// removed only once its transaction has committed; so a run the program dies before
/// committing is delivered by the next. Only a run the spool cannot take goes to the database
/// straight. The connection stays open between
/// deliveries and is opened again after a failure. Used on one thread only.
class Delivery {
public:
    Delivery(DatabaseUrl url, Spool spool);
    ~Delivery();

    /// Delivers the spool's runs, then `run` (none: the spool's only).
    DeliveryReport deliver(const StoredRun* run);
    const Spool& spool() const { return spool_; }
    const DatabaseUrl& url() const { return url_; }
    /// The open connection, to a database of the latest schema (opened now when there is
    /// none); null, with `error` set, when it cannot be opened.
    Connection* connection(QString& error);

private:
    /// Delivers the spool's runs; false, with `problem` set, at the first the database did not
    /// take.
    /// Delivers the spool's runs, telling in `report` whether the file `newRun` was among them;
    /// false when the database took not all of them.
    bool deliverSpool(DeliveryReport& report, const QString& newRun);
    /// True when the open connection still answers a query.
    bool answers();
    /// Renames the spool file `path` with `suffix`, telling it in `report` with `why`.
    static void setAside(const QString& path, const QString& suffix, const QString& why,
                         DeliveryReport& report);

    DatabaseUrl url_;
    Spool spool_;
    std::unique_ptr<Connection> connection_;
};

} // namespace records
