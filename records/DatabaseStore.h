#pragma once

#include "check/RunStore.h"
#include "records/DatabaseUrl.h"

#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

namespace records {

class Delivery;

/// `--records URL`: each finished run is written to the spool on a thread of its own at once,
/// then goes to the database on another, through a Delivery (so the spool's runs go first, and
/// a run the database cannot take now waits in the spool); a database that keeps a delivery
/// waiting never keeps the runs behind it out of the spool. Each delivery is told on standard
/// output in one line. The spool is also delivered at the start, and again every RetryInterval
/// while runs wait in it; a run that ends within RetryInterval of a failed delivery is left in
/// the spool for that retry, so that runs ending together do not each wait for the database.
class DatabaseStore final : public check::RunStore {
public:
    DatabaseStore(DatabaseUrl url, QString spoolFolder);
    ~DatabaseStore() override;

    void store(const check::CheckRecord& record) override;
    bool finish() override;
    void afterStored(std::function<void()> then) override;
    /// Draws PlotImage on the store's thread, after the runs taken before.
    void drawPicture(PictureDelivery deliver) override;

    static constexpr std::chrono::seconds RetryInterval{30};

private:
    /// Delivers the runs waiting in the spool, on the database's thread.
    void deliverWaiting();
    /// Runs `then` on the database's thread after the deliveries of every run taken so far.
    void afterSpooled(std::function<void()> then);

    QThread thread_;                     ///< the database's
    QThread spoolThread_;                ///< the spool's
    QObject* worker_;                    ///< lives on thread_; deleted there as it ends
    QObject* spooler_;                   ///< lives on spoolThread_; deleted there as it ends
    std::unique_ptr<Delivery> delivery_; ///< made, used and destroyed on thread_ alone
    DatabaseUrl url_;
    QString spoolFolder_;
    std::atomic<bool> lost_{false};
};

/// The check's opener of `--records URL` stores.
std::unique_ptr<check::RunStore> OpenDatabaseStore(const QString& url, const QString& stationDir,
                                                   QString& error);

} // namespace records
