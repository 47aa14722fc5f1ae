#include "check/CheckCommand.h"

#include "board/VirtualBoardOption.h"
#include "boardlayer/BoardLayer.h"
#include "check/CheckOptions.h"
#include "check/CheckSession.h"
#include "check/PlanParser.h"
#include "check/RecordTarget.h"
#include "check/RunConsole.h"
#include "check/StationSession.h"
#include "check/TerminalOperator.h"
#include "hid/DeviceManager.h"
#include "hid/TerminalText.h"
#include "unixsignals/SignalWatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <cstdio>
#include <optional>
#include <tuple>

namespace check {
namespace {

int RunStation(hid::DeviceManager& layer, Plan plan, Provenance provenance,
               const CheckOptions& options, const StationFrontMaker& makeFront, RunStore* store) {
    unixsignals::SignalWatcher signalWatcher;
    TerminalOperator terminal;
    const std::unique_ptr<StationFront> front = makeFront ? makeFront() : nullptr;
    StationSession station(layer, std::move(plan), std::move(provenance), QDir(options.stationDir),
                           front ? &front->person() : &terminal, store);
    if (front) front->show(station);
    QObject::connect(&signalWatcher, &unixsignals::SignalWatcher::terminationRequested, &station,
                     &StationSession::stop);
    QObject::connect(&station, &StationSession::done, QCoreApplication::instance(),
                     &QCoreApplication::exit, Qt::QueuedConnection);
    station.start();
    return QCoreApplication::exec();
}

/// Settles where the outputs go before anything is sent: no two are one file, none is the plan,
/// and each record's target can take it. Tells the first problem on stderr.
bool ChooseOutputs(const CheckOptions& options, SessionOptions& session) {
    const auto refuse = [](const QString& problem) {
        std::fprintf(stderr, "zov-usb-test: %s\n",
                     hid::TerminalText(problem.toStdString()).c_str());
        return false;
    };
    const QString same = SameFile({{"the plan", options.planPath},
                                   {"--trace", options.traceFile},
                                   {"--json", options.jsonPath},
                                   {"--junit", options.junitPath}});
    if (!same.isEmpty()) return refuse(same);
    if (!options.stationDir.isEmpty()) {
        QDir().mkpath(options.stationDir); // made if missing; what is wrong is told next
        const QString problem = FolderProblem(options.stationDir);
        return problem.isEmpty() || refuse("cannot keep records: " + problem);
    }
    for (const auto& [path, target, what] :
         {std::tuple{options.jsonPath, &session.json, "JSON"},
          std::tuple{options.junitPath, &session.junit, "JUnit"}}) {
        if (path.isEmpty()) continue;
        QString error;
        auto chosen = RecordTarget::choose(path, error);
        if (!chosen)
            return refuse(QString("cannot write the %1 record to %2: %3").arg(what, path, error));
        *target = std::make_shared<RecordTarget>(std::move(*chosen));
    }
    return true;
}

int RunSingle(hid::DeviceManager& layer, Plan plan, Provenance provenance,
              const SessionOptions& sessionOptions, trace::ReportTrace* trace) {
    unixsignals::SignalWatcher signalWatcher;
    CheckSession session(layer, std::move(plan), std::move(provenance), sessionOptions);
    QObject::connect(&signalWatcher, &unixsignals::SignalWatcher::terminationRequested, &session,
                     &CheckSession::interrupt);
    // The trace stops where the run's counts were taken, so that the two agree line for line:
    // an answer that comes after the run is in neither.
    QObject::connect(&session, &CheckSession::done, [&layer, trace] {
        if (trace) layer.removeObserver(*trace);
    });
    QObject::connect(&session, &CheckSession::done, QCoreApplication::instance(),
                     &QCoreApplication::exit, Qt::QueuedConnection);
    session.start();
    return QCoreApplication::exec();
}

} // namespace

int RunCheckCommand(int argc, char** argv, const RunStoreOpener& openStore,
                    const StationFrontMaker& window) {
    // A reader that closes its end of an output pipe makes the writes fail (told, and exit
    // status 4) rather than ending the check before its records are written.
    std::signal(SIGPIPE, SIG_IGN);
    // A station window's caller made a QApplication already.
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance()) app.emplace(argc, argv);
    const CheckOptions options = ParseCheckOptions(QCoreApplication::arguments());
    PlanError error;
    std::string planBytes;
    auto plan = ParsePlanFile(options.planPath.toStdString(), error, &planBytes);
    if (!plan) {
        std::fprintf(stderr, "zov-usb-test: %s\n", hid::TerminalText(error.text()).c_str());
        return BadCommand;
    }
    Provenance provenance = RunProvenance(options.planPath.toStdString(), planBytes,
                                          options.stationId, options.operatorName);
    const auto virtualBoards =
        board::VirtualBoardOption::read(options.virtualBoard, options.benchFile.toStdString());
    if (!virtualBoards) return BadCommand;
    SessionOptions session = options.session;
    if (!ChooseOutputs(options, session)) return BadCommand;
    session.person = std::make_shared<TerminalOperator>();
    std::unique_ptr<RunStore> store;
    if (!options.recordsUrl.isEmpty()) {
        QString problem;
        store = openStore(options.recordsUrl, options.stationDir, problem);
        if (!store) {
            // Not the URL itself: it may hold a password, which the problem then names.
            std::fprintf(stderr, "zov-usb-test: --records: %s\n",
                         hid::TerminalText(problem.toStdString()).c_str());
            return BadCommand;
        }
        session.store = store.get();
    }
    const auto boards =
        boardlayer::BoardLayer::open(options.traceFile.toStdString(), *virtualBoards);
    if (!boards) return BadCommand;
    boards->addRealBoards();
    hid::DeviceManager& layer = boards->layer();
    trace::ReportTrace* trace = boards->trace();

    const bool single = options.stationDir.isEmpty();
    const int ran = single
                        ? RunSingle(layer, std::move(*plan), std::move(provenance), session, trace)
                        : RunStation(layer, std::move(*plan), std::move(provenance), options,
                                     options.window ? window : StationFrontMaker(), store.get());
    // Every line of the run must be in the trace for the verdict to stand. The trace is
    // finished first, so that the verdict is the last line even with --trace -.
    int exitCode = ran;
    // Every run is stored, or kept in the spool, before the verdict: one kept nowhere leaves
    // it undecided.
    if (store && !store->finish() && (ran == AllPassed || ran == StepFailed)) exitCode = Undecided;
    if (trace) {
        layer.removeObserver(*trace);
        if (trace->finish() > 0 && (ran == AllPassed || ran == StepFailed)) exitCode = Undecided;
    }
    if (exitCode != BadCommand && exitCode != NoBoard && (single || exitCode != ran))
        PrintVerdict(exitCode);
    // Output that never reached standard output (a full disk, a reader that stopped) leaves
    // the run's verdict unsaid: the check cannot stand by it.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "zov-usb-test: standard output could not be written: ERROR\n");
        if (exitCode == AllPassed || exitCode == StepFailed) exitCode = Undecided;
    }
    return exitCode;
}

} // namespace check
