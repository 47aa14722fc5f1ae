#pragma once

#include "hid/GuiThread.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace monitor {

/// Writes files away from the window's thread, which never waits on a file. Each save makes
/// its bytes (encoding a picture, say) and writes them on a pool thread, then tells the
/// outcome on the GUI thread through a mailbox, unless the saver is gone by then.
class BackgroundSave {
public:
    /// Called with an empty text when the file was written, else with what went wrong.
    using Done = std::function<void(const QString& error)>;

    BackgroundSave();
    ~BackgroundSave();
    BackgroundSave(const BackgroundSave&) = delete;
    BackgroundSave& operator=(const BackgroundSave&) = delete;

    /// `make` runs on the pool thread: it must own everything it reads.
    void save(const QString& path, std::function<QByteArray()> make, Done done);

private:
    std::shared_ptr<hid::GuiMailbox> mailbox_;
};

} // namespace monitor
