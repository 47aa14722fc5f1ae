#include "records/DatabaseStore.h"

#include "check/Console.h"
#include "hid/TerminalText.h"
#include "records/Delivery.h"
#include "records/Plot.h"
#include "records/Spool.h"
#include "records/StoredRun.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace records {
namespace {

void Tell(const QString& line) {
    check::Console::standard().print(hid::TerminalText(line.toStdString()) + "\n");
}

void TellDelivery(const DeliveryReport& report, const Delivery& delivery, bool newRun) {
    // One arg() call each: a URL holds "%2F", which a second call would take for a place.
    const QString database = delivery.url().shown();
    const QString spool = delivery.spool().folder();
    const QString waiting = QString::number(report.waiting);
    for (const QString& file : report.setAside)
        Tell("Records: a spooled run was set aside, not delivered: " + file);
    if (!report.lost.isEmpty())
        return Tell(QString("Records: RUN NOT KEPT: the database %1 cannot take it (%2) and the "
                            "spool %3 cannot be written (%4).")
                        .arg(database, report.problem, spool, report.lost));
    if (report.spooled)
        return Tell(QString("Records: the database %1 cannot be reached (%2): this run is kept in "
                            "the spool %3 (%4 waiting), to be delivered when it can be.")
                        .arg(database, report.problem, spool, waiting));
    const int spooledStored = report.stored - (report.newStored ? 1 : 0);
    if (spooledStored > 0)
        Tell(QString("Records: %1 spooled run(s) delivered to %2; %3 waiting.")
                 .arg(QString::number(spooledStored), database, waiting));
    if (report.newStored) Tell(QString("Records: run stored in %1.").arg(database));
    if (!newRun && !report.problem.isEmpty() && report.waiting > 0)
        Tell(QString("Records: %1 run(s) wait in the spool %2: the database %3 cannot be "
                     "reached (%4).")
                 .arg(waiting, spool, database, report.problem));
}

} // namespace

DatabaseStore::DatabaseStore(DatabaseUrl url, QString spoolFolder)
    : worker_(new QObject), spooler_(new QObject), url_(std::move(url)),
      spoolFolder_(std::move(spoolFolder)) {
    for (const auto& [object, thread] :
         {std::pair{worker_, &thread_}, std::pair{spooler_, &spoolThread_}}) {
        object->moveToThread(thread);
        QObject::connect(thread, &QThread::finished, object, &QObject::deleteLater);
        thread->start();
    }
    QMetaObject::invokeMethod(worker_, [this] {
        delivery_ = std::make_unique<Delivery>(url_, Spool(spoolFolder_), RetryInterval);
        auto* retry = new QTimer(worker_);
        retry->setInterval(RetryInterval);
        QObject::connect(retry, &QTimer::timeout, worker_, [this] { deliverWaiting(); });
        retry->start();
        deliverWaiting();
    });
}

DatabaseStore::~DatabaseStore() {
    finish();
}

void DatabaseStore::store(const check::CheckRecord& record) {
    // The rows are made here, from the record as it is now; the threads get a copy of their own.
    auto run = std::make_shared<const StoredRun>(StoredRunOf(record, NewRunId()));
    QMetaObject::invokeMethod(spooler_, [this, run] {
        // On disk at once, however long the database keeps the delivery before it waiting.
        QString error;
        const std::optional<QString> spooledAs = Spool(spoolFolder_).add(*run, error);
        QMetaObject::invokeMethod(worker_, [this, run, spooledAs, error] {
            const DeliveryReport report = delivery_->deliverSpooled(*run, spooledAs, error);
            if (!report.lost.isEmpty()) lost_ = true;
            TellDelivery(report, *delivery_, true);
        });
    });
}

void DatabaseStore::afterSpooled(std::function<void()> then) {
    // The spool's thread passes it on after the runs it took before: on the database's thread
    // it comes after their deliveries.
    QMetaObject::invokeMethod(spooler_, [this, then = std::move(then)]() mutable {
        QMetaObject::invokeMethod(worker_, std::move(then));
    });
}

void DatabaseStore::deliverWaiting() {
    if (delivery_->spool().waiting().isEmpty()) return;
    TellDelivery(delivery_->deliver(nullptr), *delivery_, false);
}

void DatabaseStore::drawPicture(PictureDelivery deliver) {
    if (!thread_.isRunning()) return; // finished: its worker is gone
    afterSpooled([this, deliver = std::move(deliver)] {
        QString error;
        std::optional<Table> yield, failures;
        if (Connection* connection = delivery_->connection(error)) {
            yield = YieldTable(*connection, error);
            if (yield) failures = FailureTable(*connection, error);
        }
        if (failures) return deliver(PlotImage(*yield, *failures), {});
        deliver({}, QString("The records database %1 cannot be read: %2")
                        .arg(delivery_->url().shown(), error));
    });
}

void DatabaseStore::afterStored(std::function<void()> then) {
    if (!thread_.isRunning()) return then(); // finished: every run is kept already
    afterSpooled(std::move(then));
}

bool DatabaseStore::finish() {
    if (spoolThread_.isRunning()) {
        // After every run taken: each is spooled, and its delivery asked for.
        QMetaObject::invokeMethod(spooler_, [this] { spoolThread_.quit(); });
        spoolThread_.wait();
    }
    if (thread_.isRunning()) {
        // Runs after every delivery already asked for; the connection goes with the thread's
        // last event.
        QMetaObject::invokeMethod(worker_, [this] {
            delivery_.reset();
            thread_.quit();
        });
        thread_.wait();
    }
    return !lost_;
}

std::unique_ptr<check::RunStore> OpenDatabaseStore(const QString& url, const QString& stationDir,
                                                   QString& error) {
    auto parsed = ParseDatabaseUrl(url, error);
    if (!parsed) return nullptr;
    // What can never become an SQLite file is told now, rather than each run being spooled
    // for a database that cannot come.
    if (parsed->kind == DatabaseUrl::Kind::Sqlite) {
        const QFileInfo file(parsed->path);
        if (file.exists() && !file.isFile()) {
            error = parsed->path + " is not a regular file, as an SQLite database is";
            return nullptr;
        }
        if (!file.absoluteDir().exists()) {
            error = "the folder of " + parsed->path + " does not exist";
            return nullptr;
        }
    }
    return std::make_unique<DatabaseStore>(*parsed, SpoolFolder(url, stationDir));
}

} // namespace records
