#include "records/Delivery.h"

#include "records/Connection.h"
#include "records/RunWriter.h"
#include "records/Schema.h"

#include <QFile>

namespace records {

Delivery::Delivery(DatabaseUrl url, Spool spool) : url_(std::move(url)), spool_(std::move(spool)) {}

Delivery::~Delivery() = default;

Connection* Delivery::connection(QString& error) {
    if (connection_) return connection_.get();
    auto opened = Connection::open(url_, error);
    if (opened && Migrate(*opened, error)) connection_ = std::move(opened);
    return connection_.get();
}

bool Delivery::answers() {
    QString ignored;
    return connection_ && connection_->run("SELECT 1", ignored);
}

void Delivery::setAside(const QString& path, const QString& suffix, const QString& why,
                        DeliveryReport& report) {
    // Kept, under a name the spool passes over, for someone to look at; the runs behind it
    // go on.
    const QString kept = path + suffix;
    report.setAside << (QFile::rename(path, kept) ? kept : path) + ": " + why;
}

bool Delivery::deliverSpool(DeliveryReport& report, const QString& newRun) {
    for (const QString& path : spool_.waiting()) {
        QString error;
        const auto run = Spool::read(path, error);
        if (!run) {
            setAside(path, ".unreadable", error, report);
            continue;
        }
        Connection* connection = this->connection(report.problem);
        if (!connection) return false;
        if (WriteRun(*connection, *run, error) == Written::Failed) {
            // A database that still answers refused this run itself (a file edited by hand,
            // a text it cannot hold): trying it again would hold back every run behind it.
            if (answers()) {
                setAside(path, ".refused", "the database refused it: " + error, report);
                continue;
            }
            report.problem = error;
            connection_.reset(); // the server may have gone: opened afresh next time
            return false;
        }
        QFile::remove(path);
        ++report.stored;
        if (path == newRun) report.newStored = true;
    }
    return true;
}

DeliveryReport Delivery::deliver(const StoredRun* run) {
    DeliveryReport report;
    QString spoolError;
    const std::optional<QString> spooledAs =
        run ? spool_.add(*run, spoolError) : std::optional<QString>();
    const bool spoolDelivered = deliverSpool(report, spooledAs.value_or(QString()));
    if (run && !spooledAs) {
        // No spool to keep it in: straight to the database, or it is kept nowhere.
        Connection* connection = spoolDelivered ? this->connection(report.problem) : nullptr;
        if (connection && WriteRun(*connection, *run, report.problem) != Written::Failed) {
            ++report.stored;
            report.newStored = true;
        } else {
            if (connection) connection_.reset();
            report.lost = spoolError;
        }
    }
    report.spooled = spooledAs && !report.newStored && QFile::exists(*spooledAs);
    report.waiting = int(spool_.waiting().size());
    return report;
}

} // namespace records
