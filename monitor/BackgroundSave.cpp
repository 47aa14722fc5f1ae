#include "monitor/BackgroundSave.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QThreadPool>

namespace monitor {

BackgroundSave::BackgroundSave() : alive_(std::make_shared<bool>(true)) {}

BackgroundSave::~BackgroundSave() {
    *alive_ = false;
}

void BackgroundSave::save(const QString& path, std::function<QByteArray()> make, Done done) {
    QThreadPool::globalInstance()->start(
        [path, make = std::move(make), done = std::move(done), alive = alive_] {
            const QByteArray bytes = make();
            QSaveFile file(path);
            QString error;
            if (bytes.isEmpty())
                error = QCoreApplication::translate("BackgroundSave", "nothing to write");
            else if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
                     !file.commit())
                error = file.errorString();
            // The application object outlives the pool's threads; the saver may not.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [alive, done, error] {
                    if (*alive) done(error);
                },
                Qt::QueuedConnection);
        });
}

} // namespace monitor
