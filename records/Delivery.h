#pragma once

#include "records/DatabaseUrl.h"
#include "records/Spool.h"
#include "records/StoredRun.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

namespace records {

class Connection;

/// What one delivery did.
struct DeliveryReport {
    int stored = 0;         ///< runs the database took now: spooled ones, then the new one
    bool newStored = false; ///< the new run is among them
    bool spooled = false;   ///< the new run waits in the spool
    int waiting = 0;        ///< runs left in the spool, of those spooled up to the new run
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
/// straight. The connection stays open between deliveries and is opened again after a
/// failure. For `rest` after a failure a new run that is spooled is left there, the database
/// untried, so that runs ending together do not each wait out the database's timeout; the
/// spool alone (deliver(nullptr)) is always tried. Used on one thread only.
class Delivery {
public:
    Delivery(DatabaseUrl url, Spool spool,
             std::chrono::milliseconds rest = std::chrono::milliseconds(0));
    ~Delivery();

    /// Delivers the spool's runs, then `run` (none: the spool's only).
    DeliveryReport deliver(const StoredRun* run);
    /// Delivers `run`, which the spool took as `spooledAs` already (a file added since is left
    /// for its own delivery), with the runs before it; or, when the spool could not take it
    /// (`spoolError`), straight to the database.
    DeliveryReport deliverSpooled(const StoredRun& run, const std::optional<QString>& spooledAs,
                                  const QString& spoolError);
    const Spool& spool() const { return spool_; }
    const DatabaseUrl& url() const { return url_; }
    /// The open connection, to a database of the latest schema (opened now when there is
    /// none); null, with `error` set, when it cannot be opened.
    Connection* connection(QString& error);

private:
    /// Delivers the spool's runs up to the file `newRun` (empty: all), telling in `report`
    /// whether it was among them; false, with `report.problem` set, at the first the database
    /// did not take.
    bool deliverSpool(DeliveryReport& report, const QString& newRun);
    /// The spool's files, oldest first, up to the file `newRun` (empty: all).
    QStringList waitingUpTo(const QString& newRun) const;
    /// Whether the database failed less than `rest_` ago.
    bool resting() const;
    /// True when the open connection still answers a query.
    bool answers();
    /// Renames the spool file `path` with `suffix`, telling it in `report` with `why`.
    static void setAside(const QString& path, const QString& suffix, const QString& why,
                         DeliveryReport& report);

    DatabaseUrl url_;
    Spool spool_;
    const std::chrono::milliseconds rest_;
    std::optional<std::chrono::steady_clock::time_point> failedAt_;
    QString failure_; ///< why it failed then
    std::unique_ptr<Connection> connection_;
};

} // namespace records
