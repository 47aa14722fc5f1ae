// Per-call costs of the paths every report takes: the window's answer handler for each code,
// a send with its output mirror, one polling tick, the trace line and the layer's input queue.
#include "bench/RunBenchmarks.h"
#include "board/VirtualBoard.h"
#include "check/PendingAnswers.h"
#include "hid/DeviceManager.h"
#include "protocol/ReportLayout.h"
#include "trace/ReportTrace.h"
#include "window/MainForm.h"

#include <QApplication>
#include <QListWidget>
#include <benchmark/benchmark.h>
#include <cstring>

namespace {

/// A layer with one board that is always there: every Read hands out the next report of a
/// running sequence, so each call changes what the window shows (a control given the text it
/// already has may skip its work, which would flatter the figure).
class SteadyLayer final : public hid::HidLayer {
public:
    std::uint8_t code = protocol::Code::ReadAdc;

    bool Connect(QObject*) override { return true; }
    bool Disconnect() override { return true; }
    int GetItemCount() override { return 1; }
    hid::Handle GetHandle(int, int) override { return BoardHandle; }
    int GetVendorID(hid::Handle) override { return protocol::DeviceVendorID; }
    int GetProductID(hid::Handle) override { return protocol::DeviceProductID; }
    bool GetVendorName(hid::Handle, std::span<char> buffer) override { return name(buffer); }
    bool GetProductName(hid::Handle, std::span<char> buffer) override { return name(buffer); }
    bool GetSerialNumber(hid::Handle, std::span<char> buffer) override { return name(buffer); }
    bool SetReadNotify(hid::Handle, bool) override { return true; }
    bool WriteEx(int, int, const hid::Report& buffer) override {
        benchmark::DoNotOptimize(buffer.data());
        return true;
    }
    bool Read(hid::Handle, hid::Report& buffer) override {
        ++sequence_;
        buffer.fill(0);
        buffer[protocol::CommandIndex] = code;
        buffer[protocol::AdValueIndex] = static_cast<std::uint8_t>(sequence_);
        buffer[protocol::InputBitsIndex] = static_cast<std::uint8_t>(sequence_ * 37);
        for (std::size_t i = 0; i < protocol::AnswerTextLength; ++i)
            buffer[protocol::TextIndex + i] = static_cast<std::uint8_t>('A' + (sequence_ + i) % 26);
        return true;
    }

    static constexpr hid::Handle BoardHandle = 1;

private:
    static bool name(std::span<char> buffer) {
        if (buffer.empty()) return false;
        std::strncpy(buffer.data(), "Bench", buffer.size() - 1);
        buffer[buffer.size() - 1] = '\0';
        return true;
    }
    std::uint32_t sequence_ = 0;
};

void OnReadFor(benchmark::State& state, std::uint8_t code) {
    SteadyLayer layer;
    window::MainForm form(layer);
    layer.code = code;
    for (auto _ : state)
        form.OnRead(SteadyLayer::BoardHandle);
    state.SetItemsProcessed(state.iterations());
}

void BM_OnRead_AdValue(benchmark::State& state) {
    OnReadFor(state, protocol::Code::ReadAdc);
}
void BM_OnRead_InputBits(benchmark::State& state) {
    OnReadFor(state, protocol::Code::ReadInput);
}
void BM_OnRead_Status(benchmark::State& state) {
    OnReadFor(state, protocol::Code::Status);
}
// Each text answer adds a line to ListBox2, which keeps them all, so the run is bounded and
// the figure is the cost of one line added to a list of up to that many.
void BM_OnRead_AnswerText(benchmark::State& state) {
    OnReadFor(state, protocol::Code::ReadText);
}

// DisplayADC: writes the command byte, sends the buffer and refreshes the 25 output boxes.
void BM_SendWithOutputMirror(benchmark::State& state) {
    SteadyLayer layer;
    window::MainForm form(layer);
    for (auto _ : state)
        form.DisplayADC_Click();
}

// One tick of the polling loop: the clock label, two requests, two mirror refreshes.
void BM_PollingTick(benchmark::State& state) {
    SteadyLayer layer;
    window::MainForm form(layer);
    for (auto _ : state)
        form.Timer2_Timer();
}

void BM_TraceLine(benchmark::State& state) {
    hid::Report report{};
    for (std::size_t i = 0; i < report.size(); ++i)
        report[i] = static_cast<std::uint8_t>(i * 7);
    std::int64_t micros = 1'796'639'400'123'456;
    for (auto _ : state) {
        std::string line =
            trace::ReportTrace::formatLine(++micros, trace::ReportTrace::Direction::In, 1, report);
        benchmark::DoNotOptimize(line.data());
    }
}

// One input report through the layer: the board hands it in, the layer queues it, the
// window's Read takes it out. No window is connected, so no event is posted.
void BM_QueuePushPop(benchmark::State& state) {
    hid::DeviceManager layer;
    board::VirtualBoard* board = &board::VirtualBoard::attachTo(layer);
    const hid::Handle handle =
        layer.GetHandle(board::VirtualBoard::VendorId, board::VirtualBoard::ProductId);
    layer.SetReadNotify(handle, true);
    hid::Report in{};
    in[protocol::CommandIndex] = protocol::Code::ReadAdc;
    hid::Report out{};
    for (auto _ : state) {
        ++in[protocol::AdValueIndex];
        board->sendReport(in);
        layer.Read(handle, out);
        benchmark::DoNotOptimize(out.data());
    }
}

// A full queue: every report in drops and counts the oldest.
void BM_QueueOverflow(benchmark::State& state) {
    hid::DeviceManager layer(64);
    board::VirtualBoard* board = &board::VirtualBoard::attachTo(layer);
    const hid::Handle handle =
        layer.GetHandle(board::VirtualBoard::VendorId, board::VirtualBoard::ProductId);
    layer.SetReadNotify(handle, true);
    hid::Report in{};
    for (int i = 0; i < 64; ++i)
        board->sendReport(in);
    for (auto _ : state) {
        ++in[protocol::AdValueIndex];
        board->sendReport(in);
    }
    benchmark::DoNotOptimize(layer.droppedReports());
}

// One 20 ms tick of a check's poll of a board that never answers, after range(0) ticks already
// lost: the cost of a tick must not grow with the hour the poll has run.
void BM_SilentPollTick(benchmark::State& state) {
    check::PendingAnswers pending;
    check::Clock::time_point now{};
    const auto tick = [&](std::int64_t n) {
        now += std::chrono::milliseconds(20);
        benchmark::DoNotOptimize(pending.closeWindows(now));
        const std::uint8_t code = n % 2 ? protocol::Code::ReadInput : protocol::Code::ReadAdc;
        pending.sent(code, 1, std::chrono::milliseconds(100), now);
        pending.written(code, now);
        benchmark::DoNotOptimize(pending.nextClose());
    };
    std::int64_t n = 0;
    for (; n < state.range(0); ++n)
        tick(n);
    for (auto _ : state)
        tick(n++);
}

} // namespace

BENCHMARK(BM_OnRead_AdValue);
BENCHMARK(BM_OnRead_InputBits);
BENCHMARK(BM_OnRead_Status);
BENCHMARK(BM_OnRead_AnswerText)->Iterations(20000);
BENCHMARK(BM_SendWithOutputMirror);
BENCHMARK(BM_PollingTick);
BENCHMARK(BM_TraceLine);
BENCHMARK(BM_QueuePushPop);
BENCHMARK(BM_QueueOverflow);
BENCHMARK(BM_SilentPollTick)->Arg(0)->Arg(180000);

int main(int argc, char** argv) {
    // The window is built but never shown; the offscreen platform keeps the run headless.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
