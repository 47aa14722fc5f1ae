#include "hid/GuiThread.h"

namespace hid {

std::shared_ptr<GuiMailbox> GuiMailbox::create(QObject& receiver) {
    return std::shared_ptr<GuiMailbox>(new GuiMailbox(receiver));
}

bool GuiMailbox::post(std::function<void()> call) {
    const std::lock_guard lock(mutex_);
    if (!receiver_) return false;
    // Queued under the lock: the receiver cannot be closed and destroyed meanwhile.
    QMetaObject::invokeMethod(
        receiver_,
        [mailbox = shared_from_this(), call = std::move(call)] {
            if (mailbox->isOpen()) call();
        },
        Qt::QueuedConnection);
    return true;
}

void GuiMailbox::close() {
    const std::lock_guard lock(mutex_);
    receiver_ = nullptr;
}

bool GuiMailbox::isOpen() const {
    const std::lock_guard lock(mutex_);
    return receiver_ != nullptr;
}

} // namespace hid
