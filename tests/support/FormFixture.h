#pragma once

#include "hid/HidEvent.h"
#include "support/EventLoop.h"
#include "support/FakeHidLayer.h"
#include "support/ShownPixels.h"
#include "window/MainForm.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <utility>

namespace testsupport {

/// The list's lines top to bottom as the list places them, once it has placed every one and
/// they stay put (within a frame or two): a line in the list but never laid out, or laid out over
/// another, is missing or out of order.
inline QStringList ShownLines(const QListWidget& list) {
    const auto placed = [&] {
        std::map<int, QString> byTop;
        for (int i = 0; i < list.count(); ++i) {
            const QRect place = list.visualItemRect(list.item(i));
            if (place.isValid()) byTop.emplace(place.top(), list.item(i)->text());
        }
        QStringList lines;
        for (const auto& [top, line] : byTop)
            lines << line;
        return lines;
    };
    QStringList lines;
    QStringList before;
    WaitUntil([&] {
        before = std::exchange(lines, placed());
        return lines.size() == list.count() && lines == before;
    });
    return lines;
}

/// A MainForm on a recording fake layer that knows the board as handle 7, shown and painted
/// once: what a test changes shows on the screen only if the window repaints it.
class FormFixture : public ::testing::Test {
protected:
    FormFixture() {
        layer.devices[7] = {};
        form = std::make_unique<window::MainForm>(layer);
        form->show();
        EXPECT_TRUE(WaitUntil([&] { return !ShownImage(*form).isNull(); }));
    }

    const window::Controls& ui() const { return form->controls(); }

    /// Posts a device event to the window as the layer would, and lets it through.
    void deliver(std::uint32_t code, hid::Handle handle) {
        QCoreApplication::postEvent(form.get(), new hid::HidEvent(code, handle));
        DrainEvents();
    }

    /// The board's answer: the layer will hand `report` to the next Read.
    void answer(const hid::Report& report, hid::Handle handle = 7) {
        layer.pendingReads.push_back(report);
        deliver(hid::HIDEventRead, handle);
    }

    QStringList listLines(const QListWidget* list) const { return ShownLines(*list); }

    FakeHidLayer layer;
    std::unique_ptr<window::MainForm> form;
};

/// A report with the given command byte and bytes set.
inline hid::Report
MakeReport(std::uint8_t code,
           std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes = {}) {
    hid::Report report{};
    report[1] = code;
    for (const auto& [index, value] : bytes)
        report[index] = value;
    return report;
}

} // namespace testsupport
