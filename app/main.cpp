#include "app/CommandLine.h"
#include "app/SignalWatcher.h"
#include "app/WindowPlacement.h"
#include "hid/DeviceManager.h"
#include "hid/HidrawSource.h"
#include "hid/ReportTrace.h"
#include "hid/VirtualBoard.h"
#include "monitor/BoardMonitor.h"
#include "panel/VirtualBoardPanel.h"
#include "protocol/ReportLayout.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QStyleFactory>
#include <cstdio>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("zov-usb-test");
    QApplication::setApplicationVersion(PROJECT_VERSION);
    // Fusion paints the back colours of the graphical buttons; native styles may not.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const Options options = ParseCommandLine(app);
    // From the start: a signal that comes while the window is being built closes it as soon
    // as the event loop runs.
    SignalWatcher signalWatcher;

    hid::DeviceManager layer;
    if (!options.traceFile.isEmpty()) {
        std::string error;
        auto trace = hid::ReportTrace::open(
            options.traceFile.toStdString(), error, [](const std::string& message) {
                std::fprintf(stderr, "zov-usb-test: %s\n", message.c_str());
            });
        if (!trace) {
            std::fprintf(stderr, "zov-usb-test: cannot write the trace file %s: %s\n",
                         qPrintable(options.traceFile), error.c_str());
            return 2;
        }
        layer.setTrace(std::move(trace));
    }
    // The virtual board goes first when asked for: with a real board attached as well, the
    // console talks to the earliest attached board, and the operator asked for this one.
    hid::VirtualBoard* board = nullptr;
    if (options.virtualBoard) {
        board = &hid::VirtualBoard::attachTo(layer);
    }
    // The monitor listens from before the window's start-up report, and goes before the layer.
    // Like the panel, it does not hold the program open.
    std::unique_ptr<monitor::BoardMonitor> boardMonitor;
    if (options.monitor) {
        boardMonitor = std::make_unique<monitor::BoardMonitor>(
            layer,
            monitor::BoardMonitor::BoardIds{protocol::DeviceVendorID, protocol::DeviceProductID});
    }
    layer.addSource(std::make_unique<hid::HidrawSource>());

    MainForm form(layer);
    // Boards found at start that cannot be used are told from the event loop, so this
    // hears of them too.
    layer.addProblemObserver(form);
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &form, &QWidget::close);
    form.show();

    // The monitor beside the main window, the panel beside the last of them.
    const QWidget* rightmost = &form;
    if (boardMonitor) {
        PlaceBeside(*boardMonitor, form);
        boardMonitor->show();
        rightmost = boardMonitor.get();
    }
    // Declared after the layer, so it goes before the board it shows. It does not hold the
    // program open: closing the main window ends the program.
    std::unique_ptr<VirtualBoardPanel> panel;
    if (board) {
        panel = std::make_unique<VirtualBoardPanel>(*board);
        PlaceBeside(*panel, *rightmost);
        panel->show();
    }
    return app.exec();
}
