#include "app/CommandLine.h"
#include "app/SignalWatcher.h"
#include "hid/DeviceManager.h"
#include "hid/ReportTrace.h"
#include "hid/VirtualBoard.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QStyleFactory>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("zov-usb-test");
    QApplication::setApplicationVersion(PROJECT_VERSION);
    // Fusion paints the back colours of the graphical buttons; native styles may not.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const Options options = ParseCommandLine(app);

    hid::DeviceManager layer;
    if (!options.traceFile.isEmpty()) {
        std::string error;
        auto trace = hid::ReportTrace::open(options.traceFile.toStdString(), error);
        if (!trace) {
            std::fprintf(stderr, "zov-usb-test: cannot write the trace file %s: %s\n",
                         qPrintable(options.traceFile), error.c_str());
            return 2;
        }
        layer.setTrace(std::move(trace));
    }
    if (options.virtualBoard)
        layer.addSource(std::make_unique<hid::VirtualBoard>());

    MainForm form(layer);
    SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &form, &QWidget::close);
    form.show();
    return app.exec();
}
