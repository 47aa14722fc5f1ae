#include "records/Delivery.h"

#include "records/Connection.h"
#include "records/RunWriter.h"
#include "records/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace records {

Delivery::Delivery(DatabaseUrl url, Spool spool, std::chrono::milliseconds rest)
    : url_(std::move(url)), spool_(std::move(spool)), rest_(rest) {}

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

bool Delivery::resting() const {
    return failedAt_ && std::chrono::steady_clock::now() - *failedAt_ < rest_;
}

QStringList Delivery::waitingUpTo(const QString& newRun) const {
    QStringList files = spool_.waiting();
    // Those spooled since are delivered, and counted, in their own turn.
    if (!newRun.isEmpty())
        files.erase(std::upper_bound(files.begin(), files.end(), newRun), files.end());
    return files;
}

bool Delivery::deliverSpool(DeliveryReport& report, const QString& newRun) {
    const QStringList files = waitingUpTo(newRun);
    report.waiting = int(files.size());
    for (const QString& path : files) {
        QString error;
        const auto run = Spool::read(path, error);
        if (!run) {
            // Gone since it was listed: another station sharing the spool delivered it.
            if (QFileInfo::exists(path)) setAside(path, ".unreadable", error, report);
            --report.waiting;
            continue;
        }
        Connection* connection = this->connection(report.problem);
        Written written = Written::Failed;
        if (connection && (written = WriteRun(*connection, *run, error)) == Written::Failed) {
            // A database that still answers refused this run itself (a file edited by hand,
            // a text it cannot hold): trying it again would hold back every run behind it.
            if (answers()) {
                setAside(path, ".refused", "the database refused it: " + error, report);
                --report.waiting;
                continue;
            }
            report.problem = error;
            connection_.reset(); // the server may have gone: opened afresh next time
            connection = nullptr;
        }
        if (!connection) {
            failedAt_ = std::chrono::steady_clock::now();
            failure_ = report.problem;
            return false;
        }
        failedAt_.reset();
        QFile::remove(path);
        --report.waiting;
        // Already there: delivered before the program died, or by another station just now.
        if (written == Written::AlreadyStored) continue;
        ++report.stored;
        if (path == newRun) report.newStored = true;
    }
    return true;
}

DeliveryReport Delivery::deliver(const StoredRun* run) {
    if (run) {
        QString spoolError;
        const std::optional<QString> spooledAs = spool_.add(*run, spoolError);
        return deliverSpooled(*run, spooledAs, spoolError);
    }
    DeliveryReport report;
    deliverSpool(report, {});
    return report;
}

DeliveryReport Delivery::deliverSpooled(const StoredRun& run,
                                        const std::optional<QString>& spooledAs,
                                        const QString& spoolError) {
    DeliveryReport report;
    if (spooledAs && resting()) {
        report.problem = failure_;
        report.waiting = int(waitingUpTo(*spooledAs).size());
    } else {
        const bool spoolDelivered = deliverSpool(report, spooledAs.value_or(QString()));
        if (!spooledAs) {
            // No spool to keep it in: straight to the database, or it is kept nowhere.
            Connection* connection = spoolDelivered ? this->connection(report.problem) : nullptr;
            if (connection && WriteRun(*connection, run, report.problem) != Written::Failed) {
                ++report.stored;
                report.newStored = true;
            } else {
                if (connection) connection_.reset();
                report.lost = spoolError;
            }
        }
    }
    report.spooled = spooledAs && !report.newStored && QFile::exists(*spooledAs);
    return report;
}

} // namespace records
