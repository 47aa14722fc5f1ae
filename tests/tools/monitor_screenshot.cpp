// Takes the board monitor's picture for the README: the main window and the monitor side by
// side while the loop polls the virtual board, whose A/D input swings like a turned knob, whose
// input bits change now and then (one of them for a single poll), and whose port D the operator
// writes now and then. Run under an X server (scripts/monitor-screenshot.sh starts Xvfb).
//
// Usage: monitor_screenshot OUTPUT.png [SECONDS]
#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "monitor/BoardMonitor.h"
#include "protocol/ReportLayout.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

using namespace std::chrono_literals;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [SECONDS]\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 12;

    hid::DeviceManager layer;
    board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
    monitor::BoardMonitor boardMonitor(layer,
                                       {protocol::DeviceVendorID, protocol::DeviceProductID});
    window::MainForm form(layer);
    form.move(0, 0);
    form.show();
    boardMonitor.resize(boardMonitor.sizeHint().width(), form.frameGeometry().height());
    boardMonitor.move(form.frameGeometry().right() + 1, 0);
    boardMonitor.show();

    const window::Controls& ui = form.controls();
    ui.StartLoop->click();

    // The knob: a slow swing with a little noise, as a hand and a real input give it.
    const auto start = std::chrono::steady_clock::now();
    std::mt19937 noise(7);
    std::normal_distribution<double> jitter(0.0, 2.5);
    QTimer knob;
    knob.setTimerType(Qt::PreciseTimer);
    QObject::connect(&knob, &QTimer::timeout, [&] {
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double value = 128 + 80 * std::sin(t * 2 * M_PI / 7.0) +
                             25 * std::sin(t * 2 * M_PI / 1.3) + jitter(noise);
        board.setAdValue(static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0)));
    });
    knob.start(10ms);

    // Input bits: a counter in the low bits every 1.5 s, and bit 5 high for one poll at 4 s.
    int step = 0;
    QTimer inputs;
    QObject::connect(&inputs, &QTimer::timeout, [&] {
        ++step;
        board.setInputBits(static_cast<std::uint8_t>(0b1000'0000 | (step & 0b0000'0111) << 1));
    });
    inputs.start(1500ms);
    QTimer::singleShot(4000ms, [&] {
        board.setInputBits(board.inputBits() | 0b0010'0000);
        QTimer::singleShot(20ms, [&] { board.setInputBits(board.inputBits() & ~0b0010'0000); });
    });

    // Port D, as the operator writes it: the box and the button of the main window.
    int portValue = 1;
    QTimer portD;
    QObject::connect(&portD, &QTimer::timeout, [&] {
        portValue = (portValue * 3 + 1) & 0xff;
        ui.txtWritePort->setText(QString::number(portValue));
        ui.btnWritePort->click();
    });
    portD.start(2300ms);

    QTimer::singleShot(std::chrono::seconds(seconds), [&] {
        const QRect both = form.frameGeometry().united(boardMonitor.frameGeometry());
        const QPixmap picture =
            form.screen()->grabWindow(0, both.x(), both.y(), both.width(), both.height());
        if (!picture.save(output)) {
            std::fprintf(stderr, "monitor_screenshot: cannot write %s\n", qPrintable(output));
            app.exit(1);
            return;
        }
        std::printf("monitor_screenshot: wrote %s (%dx%d)\n", qPrintable(output), picture.width(),
                    picture.height());
        app.exit(0);
    });
    return app.exec();
}
