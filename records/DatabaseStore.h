#pragma once

#include "check/RunStore.h"
#include "records/DatabaseUrl.h"

#include <QString>
#include <QThread>
#include <atomic>
#include <memory>

namespace records {

class Delivery;

/// `--records URL`: each finished run goes to the database on a thread of its own, through a
/// Delivery (so the spool's runs go first, and a run the database cannot take now waits in the
/// spool). Each delivery is told on standard output in one line. The spool is also delivered at
/// the start, and again every RetryInterval while runs wait in it.
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
    void deliverOnThread(const std::shared_ptr<const struct StoredRun>& run);

    QThread thread_;
    QObject* worker_;                    ///< lives on thread_; deleted there as it ends
    std::unique_ptr<Delivery> delivery_; ///< made, used and destroyed on thread_ alone
    DatabaseUrl url_;
    QString spoolFolder_;
    std::atomic<bool> lost_{false};
};

/// The check's opener of `--records URL` stores.
std::unique_ptr<check::RunStore> OpenDatabaseStore(const QString& url, const QString& stationDir,
                                                   QString& error);

} // namespace records
