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

bool Delivery::deliverSpool(DeliveryReport& report) {
    for (const QString& path : spool_.waiting()) {
        QString error;
        const auto run = Spool::read(path, error);
        if (!run) {
            // Kept, under a name the spool passes over, for someone to look at; the runs
            // behind it go on.
            QFile::rename(path, path + ".unreadable");
            continue;
        }
        Connection* connection = this->connection(report.problem);
        if (!connection) return false;
        if (WriteRun(*connection, *run, report.problem) == Written::Failed) {
            connection_.reset(); // the server may have gone: opened afresh next time
            return false;
        }
        QFile::remove(path);
        ++report.stored;
    }
    return true;
}

DeliveryReport Delivery::deliver(const StoredRun* run) {
    DeliveryReport report;
    if (deliverSpool(report) && run) {
        Connection* connection = this->connection(report.problem);
        if (connection && WriteRun(*connection, *run, report.problem) != Written::Failed)
            ++report.stored;
        else
            connection_.reset();
    }
    if (!report.problem.isEmpty() && run) {
        QString error;
        if (spool_.add(*run, error))
            report.spooled = true;
        else
            report.lost = error;
    }
    report.waiting = int(spool_.waiting().size());
    return report;
}

} // namespace records
