#include "check/CheckCommand.h"

#include "board/VirtualBoard.h"
#include "check/CheckOptions.h"
#include "check/CheckSession.h"
#include "check/PlanParser.h"
#include "hid/DeviceManager.h"
#include "hidraw/HidrawSource.h"
#include "trace/TraceFileOption.h"

#include <QCoreApplication>
#include <cstdio>

namespace check {

int RunCheckCommand(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zov-usb-test");
    const CheckOptions options = ParseCheckOptions(QCoreApplication::arguments());
    PlanError error;
    auto plan = ParsePlanFile(options.planPath.toStdString(), error);
    if (!plan) {
        std::fprintf(stderr, "zov-usb-test: %s\n", error.text().c_str());
        return BadCommand;
    }
    // The trace outlives the layer, which tells it what became of the last reports.
    std::unique_ptr<hid::ReportTrace> trace;
    if (!options.traceFile.isEmpty()) {
        trace = hid::OpenTraceFileOption(options.traceFile.toStdString());
        if (!trace) return BadCommand;
    }
    hid::DeviceManager layer;
    if (trace) layer.addObserver(*trace);
    if (options.virtualBoard) hid::VirtualBoard::attachTo(layer);
    layer.addSource(std::make_unique<hid::HidrawSource>());

    CheckSession session(layer, std::move(*plan), options.planPath.toStdString(), options.session);
    QObject::connect(&session, &CheckSession::done, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    session.start();
    return QCoreApplication::exec();
}

} // namespace check
