#include "app/CaretBlinkTimeout.h"
#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "board/VirtualBoardOption.h"
#include "boardlayer/BoardLayer.h"
#include "check/CheckCommand.h"
#include "monitor/BoardMonitor.h"
#include "panel/VirtualBoardPanel.h"
#include "protocol/ReportLayout.h"
#include "records/DatabaseStore.h"
#include "records/RecordsCommand.h"
#include "stationwindow/StationWindowFront.h"
#include "unixsignals/SignalWatcher.h"
#include "window/MainForm.h"
#include "window/WindowPlacement.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace {

// The longest the window waits for the boards present at start to open.
constexpr std::chrono::milliseconds BoardsAtStartWait{2000};

QStringList ArgumentList(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char* argv[]) {
    // The board checks carry both in their records.
    QCoreApplication::setApplicationName("zov-usb-test");
    QCoreApplication::setApplicationVersion(PROJECT_VERSION);
    // The board checks run with no window and no display: before any QApplication is made;
    // only a station window needs one.
    if (argc > 1 && std::string_view(argv[1]) == "check") {
        const std::vector<std::string_view> words(argv + 2, argv + argc);
        if (std::find(words.begin(), words.end(), "--window") == words.end())
            return check::RunCheckCommand(argc, argv, records::OpenDatabaseStore);
        if (!app::DisplayNamed(argc, argv)) {
            std::fprintf(stderr, "%s\n", app::NoDisplayLine);
            return 1;
        }
        QApplication app(argc, argv);
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        return check::RunCheckCommand(argc, argv, records::OpenDatabaseStore,
                                      stationwindow::MakeStationWindow);
    }
    if (argc > 1 && std::string_view(argv[1]) == "records")
        return records::RunRecordsCommand(argc, argv);
    // The command line is read before QApplication, which aborts without a display: --help,
    // --version and a line the program cannot follow are answered without one. Options it
    // does not know may be Qt's, read again once QApplication has taken those out.
    const bool display = app::DisplayNamed(argc, argv);
    const std::optional<app::Options> early =
        app::ParseCommandLine(ArgumentList(argc, argv),
                              display ? app::UnknownOptions::Defer : app::UnknownOptions::Refuse);
    if (!display) {
        std::fprintf(stderr, "%s\n", app::NoDisplayLine);
        return 1;
    }
    QApplication app(argc, argv);
    // Fusion paints the back colours of the graphical buttons; native styles may not.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const app::Options options =
        early ? *early
              : *app::ParseCommandLine(QApplication::arguments(), app::UnknownOptions::Refuse);
    // A bad bench file is refused before anything is shown, written or sent.
    const auto virtualBoards =
        board::VirtualBoardOption::read(options.virtualBoard, options.benchFile.toStdString());
    if (!virtualBoards) return 2;
    app::CaretBlinkTimeout caretBlinkTimeout;
    // From the start: a signal that comes before the event loop runs is handled once it does,
    // closing the window or, before there is one, ending the program.
    unixsignals::SignalWatcher signalWatcher;

    const auto boards =
        boardlayer::BoardLayer::open(options.traceFile.toStdString(), *virtualBoards);
    if (!boards) return 2;
    hid::DeviceManager& layer = boards->layer();
    // The panel shows the built-in board, and only that one.
    board::VirtualBoard* board = boards->builtInBoard();
    // The monitor listens from before the real boards and the window's start-up report, and
    // goes before the layer. Like the panel, it does not hold the program open.
    std::unique_ptr<monitor::BoardMonitor> boardMonitor;
    if (options.monitor) {
        boardMonitor = std::make_unique<monitor::BoardMonitor>(
            layer,
            monitor::BoardMonitor::BoardIds{protocol::DeviceVendorID, protocol::DeviceProductID});
    }
    boards->addRealBoards();

    // Declared after the layer, so they go before it, the panel (which shows the virtual
    // board) first. Neither the panel nor the monitor holds the program open: closing the
    // main window ends the program.
    std::unique_ptr<window::MainForm> form;
    std::unique_ptr<panel::VirtualBoardPanel> panel;
    const auto openWindows = [&] {
        if (form) return;
        form = std::make_unique<window::MainForm>(layer);
        // Boards found at start that cannot be used are told from the event loop, so this
        // hears of them too.
        layer.addProblemObserver(*form);
        // The main window at the left, the monitor and the panel in a column to its right,
        // where the platform lets the program place windows.
        std::vector<QWidget*> extras;
        if (boardMonitor) extras.push_back(boardMonitor.get());
        if (board) {
            panel = std::make_unique<panel::VirtualBoardPanel>(*board);
            extras.push_back(panel.get());
        }
        window::ArrangeBeside(*form, extras);
        form->show();
        for (QWidget* extra : extras)
            extra->show();
    };
    QObject::connect(&signalWatcher, &unixsignals::SignalWatcher::terminationRequested, &app, [&] {
        if (form)
            form->close();
        else
            QApplication::quit();
    });
    // The window is built once the boards present at start are open, so that its first probe
    // and its start-up report find them; a node that keeps the opening waiting (a device
    // slow to wake) holds the window back no longer than BoardsAtStartWait, and its board
    // comes online when it opens.
    layer.whenSettled(openWindows);
    QTimer::singleShot(BoardsAtStartWait, &app, openWindows);
    return app.exec();
}
