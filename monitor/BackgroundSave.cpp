#include "monitor/BackgroundSave.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QThreadPool>

namespace monitor {

// The outcome goes to the application object, which outlives the pool's threads; the saver
// closes the mailbox when it goes.
BackgroundSave::BackgroundSave()
    : mailbox_(hid::GuiMailbox::create(*QCoreApplication::instance())) {}

BackgroundSave::~BackgroundSave() {
    mailbox_->close();
}

void BackgroundSave::save(const QString& path, std::function<QByteArray()> make, Done done) {
    QThreadPool::globalInstance()->start(
        [path, make = std::move(make), done = std::move(done), mailbox = mailbox_] {
            const QByteArray bytes = make();
            QSaveFile file(path);
            QString error;
            if (bytes.isEmpty())
                error = QCoreApplication::translate("BackgroundSave", "nothing to write");
            else if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
                     !file.commit())
                error = file.errorString();
            mailbox->post([done, error] { done(error); });
        });
}

} // namespace monitor
