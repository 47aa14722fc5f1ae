#pragma once

#include "hid/DeviceProblem.h"
#include "hid/DeviceSource.h"

#include <QGroupBox>
#include <map>
#include <string>

class QLabel;

namespace monitor {

/// The board the console talks to: its node, handle, ids, names and report format, or why the
/// boards that could not be opened cannot be used.
class BoardPanel final : public QGroupBox {
    Q_OBJECT

public:
    explicit BoardPanel(QWidget* parent = nullptr);

    /// Shows the board attached under `handle`, or that none is where `info` is null, and the
    /// latest problem of each node other than the board's.
    void showBoard(hid::Handle handle, const hid::DeviceInfo* info,
                   const std::map<std::string, hid::DeviceProblem>& problems);

private:
    void set(const char* field, const QString& text);

    std::map<QString, QLabel*> fields_;
    QLabel* problem_;
};

} // namespace monitor
