#include "app/CommandLine.h"
#include "app/SignalWatcher.h"
#include "hid/DeviceManager.h"
#include "hid/HidrawSource.h"
#include "hid/ReportTrace.h"
#include "hid/VirtualBoard.h"
#include "panel/VirtualBoardPanel.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>
#include <algorithm>
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
    layer.addSource(std::make_unique<hid::HidrawSource>());

    MainForm form(layer);
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &form, &QWidget::close);
    form.show();

    // Declared after the layer, so it goes before the board it shows. It does not hold the
    // program open: closing the main window ends the program.
    std::unique_ptr<VirtualBoardPanel> panel;
    if (board) {
        panel = std::make_unique<VirtualBoardPanel>(*board);
        // Beside the main window where the screen has room, else at the screen's right edge.
        panel->adjustSize();
        const QRect screen = form.screen()->availableGeometry();
        const QPoint beside = form.frameGeometry().topRight() + QPoint(16, 0);
        panel->move(std::min(beside.x(), screen.right() - panel->frameGeometry().width()),
                    beside.y());
        panel->show();
    }
    return app.exec();
}
