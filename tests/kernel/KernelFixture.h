#pragma once

#include "BoardControl.h"
#include "hid/DeviceManager.h"
#include "hid/ReportObserver.h"
#include "hidraw/HidrawSource.h"
#include "protocol/ReportLayout.h"
#include "support/EventLoop.h"
#include "trace/ReportTrace.h"
#include "window/MainForm.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

/// Every report the layer accounted for, in order.
class ReportRecorder final : public hid::ReportObserver {
public:
    struct Entry {
        hid::ReportDirection direction;
        hid::Handle handle;
        hid::Report report;
    };
    void record(hid::ReportDirection direction, hid::Handle handle,
                const hid::Report& report) override {
        entries.push_back({direction, handle, report});
    }
    std::size_t count(hid::ReportDirection direction) const {
        std::size_t n = 0;
        for (const Entry& entry : entries)
            n += entry.direction == direction;
        return n;
    }
    std::vector<Entry> entries;
};

/// The console as the program wires it (the layer, the hidraw source with the system
/// backend, the window), with a trace file and a recorder listening to the layer.
struct Console {
    explicit Console(const std::string& tracePath) : trace(openTrace(tracePath)) {
        layer.addObserver(*trace);
        layer.addObserver(reports);
        hidraw::HidrawOptions boardNodes; // as the program opens them
        boardNodes.openIds = {{protocol::DeviceVendorID, protocol::DeviceProductID}};
        auto hidraw = std::make_unique<hidraw::HidrawSource>(boardNodes);
        source = hidraw.get();
        layer.addSource(std::move(hidraw));
        // As main does: the window comes once the boards present at start are open, or after
        // two seconds.
        testsupport::WaitUntil([&] { return source->isSettled(); }, std::chrono::seconds(2));
        form = std::make_unique<window::MainForm>(layer);
        layer.addProblemObserver(*form);
        form->show();
    }

    static std::unique_ptr<trace::ReportTrace> openTrace(const std::string& path) {
        std::string error;
        return trace::ReportTrace::open(path, error, [](const std::string& message) {
            std::fprintf(stderr, "guest console: %s\n", message.c_str());
        });
    }

    // Both outlive the layer that tells them.
    ReportRecorder reports;
    std::unique_ptr<trace::ReportTrace> trace;
    hid::DeviceManager layer;
    hidraw::HidrawSource* source = nullptr; // owned by the layer
    std::unique_ptr<window::MainForm> form; // goes before the layer
};

/// A real-kernel scenario: the stand-in board, and the console once started. Each test
/// leaves the board unplugged.
class KernelFixture : public ::testing::Test {
protected:
    void TearDown() override {
        console.reset();
        board.unplug();
    }

    /// The window is built with whatever board is plugged now. Where the scenario runs a udev
    /// daemon (ZOV_UDEV=1), hotplug has to come from the udev monitor, else from rescans.
    void startConsole() {
        tracePath = "/tmp/trace-" +
                    std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                    ".txt";
        console = std::make_unique<Console>(tracePath);
        EXPECT_EQ(console->source->usesUdevMonitor(),
                  qEnvironmentVariableIntValue("ZOV_UDEV") == 1);
    }

    const window::Controls& ui() const { return console->form->controls(); }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    bool online() const { return ui().Label6->text() == "ONLINE"; }
    bool offline() const { return ui().Label6->text() == "OFFLINE"; }

    /// Runs the event loop until the window shows the board's A/D answer `value`; if it does
    /// not, says what the window shows instead, and for which handle.
    ::testing::AssertionResult showsAdAnswer(int value) const {
        const QString wanted = QString("A to D (RA2) = %1").arg(value);
        if (testsupport::WaitUntil([&] { return ui().Label1->text() == wanted; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "the window shows \"" << ui().Label1->text().toStdString() << "\" ("
               << ui().Label3->text().toStdString() << ", " << ui().Label6->text().toStdString()
               << ")";
    }

    /// Runs the event loop until `done`; the ms it took, or -1 past the deadline.
    static double msUntil(const std::function<bool()>& done,
                          std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
        const double started = MonotonicMs();
        return testsupport::WaitUntil(done, deadline) ? MonotonicMs() - started : -1;
    }

    /// The window's device problem message, when it shows one naming `node`.
    QMessageBox* problemMessageFor(const std::string& node) const {
        auto* message = console->form->findChild<QMessageBox*>("DeviceProblemMessage");
        if (!message || !message->isVisible()) return nullptr;
        const QString text = message->text() + "\n" + message->informativeText();
        return text.contains(QString::fromStdString(node)) ? message : nullptr;
    }

    BoardControl board;
    std::unique_ptr<Console> console;
    std::string tracePath;
};
