// Input reports of any content and length, from a hidraw board (datagrams of any length over a
// SOCK_SEQPACKET socket pair, as a hidraw node delivers them) and from the virtual board, through
// the layer's queues to the window's OnRead, with the boards coming and going in between.
//
// Checks, besides the sanitizers: each datagram becomes one report (byte 0 = 0, its first 32
// bytes after it, zeros after a short one), in order; what the window reads from each board is
// what that board sent, in order, less what the queue dropped; the window's input buffer is the
// last report it read, and its list, bar and lamps show the reports read.
#include "FuzzSupport.h"
#include "board/BoardFirmware.h"
#include "board/VirtualBoard.h"
#include "hid/DeviceManager.h"
#include "hidraw/HidrawDevice.h"
#include "hidraw/HidrawSource.h"
#include "support/FakeHidrawNode.h"
#include "support/ForwardingHidLayer.h"
#include "window/MainForm.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using fuzzsupport::ByteReader;
using fuzzsupport::DrainEvents;

constexpr int BoardVendor = 0x1234;
constexpr int BoardProduct = 0x0001;
const hid::DeviceInfo HidrawBoard{BoardVendor, BoardProduct,   "ZOV", "hidraw board",
                                  "H1",        "/dev/hidraw9", "",    {}};

/// Reports as they reached the layer, by the name of the board that sent them.
using Streams = std::map<std::string, std::vector<hid::Report>>;

/// Stands between a source and the layer and writes down every report on its way.
class RecordingSource final : public hid::DeviceSource, private hid::DeviceEvents {
public:
    RecordingSource(std::unique_ptr<hid::DeviceSource> inner, Streams& streams)
        : inner_(std::move(inner)), streams_(streams) {}

    void start(hid::DeviceEvents& events) override {
        outer_ = &events;
        inner_->start(*this);
    }
    bool isSettled() const override { return inner_->isSettled(); }

private:
    void deviceArrived(hid::Device& device) override { outer_->deviceArrived(device); }
    void deviceRemoved(hid::Device& device) override { outer_->deviceRemoved(device); }
    void reportReceived(hid::Device& device, const hid::Report& report) override {
        streams_[device.info().product].push_back(report);
        outer_->reportReceived(device, report);
    }
    void reportsLost(hid::Device& device, std::uint64_t count) override {
        outer_->reportsLost(device, count);
    }
    void writeCompleted(hid::Device& device, const hid::Report& report, bool sent,
                        int error) override {
        outer_->writeCompleted(device, report, sent, error);
    }
    void deviceUnusable(const hid::DeviceProblem& problem) override {
        outer_->deviceUnusable(problem);
    }
    void sourceSettled() override { outer_->sourceSettled(); }

    std::unique_ptr<hid::DeviceSource> inner_;
    Streams& streams_;
    hid::DeviceEvents* outer_ = nullptr;
};

/// The window's layer: passes every call on and writes down each report the window read.
class ReadRecorder final : public testsupport::ForwardingHidLayer {
public:
    using ForwardingHidLayer::ForwardingHidLayer;

    Streams reads;
    std::vector<hid::Report> allReads;

    bool Read(hid::Handle handle, hid::Report& buffer) override {
        const hid::Report before = buffer;
        if (!ForwardingHidLayer::Read(handle, buffer)) {
            FUZZ_CHECK(buffer == before); // a failed read leaves the buffer alone
            return false;
        }
        char name[64];
        FUZZ_CHECK(GetProductName(handle, name)); // read from an attached device
        reads[name].push_back(buffer);
        allReads.push_back(buffer);
        return true;
    }
};

/// The hidraw board's side of the wire: the enumeration it appears in and its socket ends.
struct HidrawWire {
    bool listed = true;
    int boardEnd = -1;  // -1 while no link is open
    bool lossy = false; // a device withdrawn with reports still unread may lose them
    std::vector<hid::Report> expected;

    ~HidrawWire() { breakLink(); }
    /// The board's end goes away. It first takes what the console wrote to it: a socket closed
    /// with unread data resets the link, and the reports still on their way would be lost,
    /// which a hidraw node does not do (it hands out what it holds, then fails). The shutdown
    /// comes first, because the console's writer thread may write at any moment: from then on
    /// its writes fail instead of landing unread.
    void breakLink() {
        if (boardEnd < 0) return;
        ::shutdown(boardEnd, SHUT_RDWR);
        std::uint8_t buffer[64];
        while (::recv(boardEnd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
        ::close(boardEnd);
        boardEnd = -1;
    }
    hidraw::HidrawBackend backend() {
        return testsupport::FakeHidrawBackend(
            [this] {
                return listed ? std::vector<hid::DeviceInfo>{HidrawBoard}
                              : std::vector<hid::DeviceInfo>{};
            },
            [this](const std::string&) {
                int fresh = -1;
                const int console = testsupport::OpenFakeHidrawNode(fresh);
                if (console < 0) return console;
                breakLink();
                boardEnd = fresh;
                return console;
            });
    }
};

/// Runs the event loop until `done` answers true; false if that takes longer than 5 s.
bool WaitFor(const std::function<bool()>& done) {
    QDeadlineTimer deadline(5000);
    QTimer wake; // keeps the wait below from sleeping past the deadline
    wake.start(5);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

/// `part` appears in `whole` in the same order.
bool IsSubsequence(const std::vector<hid::Report>& part, const std::vector<hid::Report>& whole) {
    auto it = whole.begin();
    for (const hid::Report& report : part) {
        it = std::find(it, whole.end(), report);
        if (it == whole.end()) return false;
        ++it;
    }
    return true;
}

/// `readsBeforeLampsOff`: how many reports had been read when Disconnect last put the lamps out.
void CheckWindow(const window::MainForm& form, const ReadRecorder& recorder,
                 std::size_t readsBeforeLampsOff) {
    const window::Controls& ui = form.controls();
    const std::vector<hid::Report>& reads = recorder.allReads;
    FUZZ_CHECK(form.bufferIn() == (reads.empty() ? hid::Report{} : reads.back()));

    const auto lastWith = [&](std::uint8_t code) -> const hid::Report* {
        const auto it = std::find_if(reads.rbegin(), reads.rend(),
                                     [&](const hid::Report& report) { return report[1] == code; });
        return it == reads.rend() ? nullptr : &*it;
    };
    const auto readAfterLampsOff = [&](const hid::Report* report) {
        return static_cast<std::size_t>(report - reads.data()) >= readsBeforeLampsOff;
    };
    const auto texts = std::count_if(reads.begin(), reads.end(),
                                     [](const hid::Report& report) { return report[1] == 2; });
    FUZZ_CHECK(ui.ListBox2->count() == texts);
    if (const hid::Report* adc = lastWith(4)) {
        FUZZ_CHECK(ui.ProgressBar1->value() == (*adc)[19]);
        FUZZ_CHECK(ui.Label1->text() == "A to D (RA2) = " + QString::number((*adc)[19]));
    }
    if (const hid::Report* inputs = lastWith(13)) {
        const QString bits = ui.Text1->text();
        FUZZ_CHECK(bits.size() == 8);
        for (int i = 0; i < 8; ++i) {
            const bool set = ((*inputs)[20] >> (7 - i)) & 1;
            FUZZ_CHECK(bits[i] == (set ? u'1' : u'0'));
            if (readAfterLampsOff(inputs))
                FUZZ_CHECK(ui.PORTA1ON[static_cast<std::size_t>(i)]->isVisibleTo(&form) == set);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::EnsureApplication();
    ByteReader input(data, size);

    Streams sent;
    HidrawWire wire;
    // A short queue, so that floods and drops are within a few hundred bytes' reach.
    hid::DeviceManager layer(1 + input.byte() % 16);
    auto board = std::make_unique<board::VirtualBoard>(false);
    board::VirtualBoard& virtualBoard = *board;
    layer.addSource(std::make_unique<RecordingSource>(std::move(board), sent));
    hidraw::HidrawOptions options;
    options.openIds = {{board::firmware::VendorId, board::firmware::ProductId}};
    options.hotplug = hidraw::HidrawOptions::Hotplug::None;
    options.openRetries = 0;
    auto source = std::make_unique<hidraw::HidrawSource>(options, wire.backend());
    hidraw::HidrawSource& hidraw = *source;
    layer.addSource(std::make_unique<RecordingSource>(std::move(source), sent));

    ReadRecorder recorder(layer);
    FUZZ_CHECK(WaitFor([&] { return hidraw.isSettled(); })); // as the program starts
    {
        window::MainForm form(recorder);
        std::size_t readsBeforeLampsOff = 0;
        DrainEvents();
        for (int operations = 0; !input.empty() && operations < 256; ++operations) {
            switch (input.byte() % 8) {
            case 0: { // a datagram of any length; zero bytes read as the end of the file
                const auto bytes = input.bytes(input.word() % 600);
                if (wire.boardEnd < 0) break;
                if (::send(wire.boardEnd, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) break;
                if (bytes.empty()) {
                    wire.breakLink();
                    break;
                }
                hid::Report report{};
                std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 32),
                            report.begin() + 1);
                wire.expected.push_back(report);
                break;
            }
            case 1: { // an input report of any content from the virtual board
                hid::Report report{};
                const auto bytes = input.bytes(report.size());
                std::copy(bytes.begin(), bytes.end(), report.begin());
                virtualBoard.sendReport(report);
                break;
            }
            case 2:
                DrainEvents();
                break;
            case 3:
                virtualBoard.isPlugged() ? virtualBoard.unplug() : virtualBoard.plug();
                break;
            case 4: // the cable pulled: the device sees the end of its file
                wire.breakLink();
                break;
            case 5: // a re-scan, the board listed or not
                if (input.byte() & 1) {
                    if (wire.listed) wire.lossy = true;
                    wire.listed = !wire.listed;
                }
                hidraw.rescan();
                // The source opens on its call thread, which takes the wire's new link.
                FUZZ_CHECK(WaitFor([&] { return hidraw.isSettled(); }));
                break;
            case 6: { // a read event for any handle at all
                const std::uint32_t handle = input.word() | std::uint32_t{input.word()} << 16;
                form.OnRead(static_cast<hid::Handle>(handle));
                break;
            }
            case 7: { // the operator disconnects or connects
                const window::Controls& ui = form.controls();
                if (ui.btnHID_Disconnect->isEnabled()) {
                    ui.btnHID_Disconnect->click();
                    readsBeforeLampsOff = recorder.allReads.size();
                } else if (ui.btnHID_Connect->isEnabled())
                    ui.btnHID_Connect->click();
                break;
            }
            }
        }
        // The device reads on a thread of its own: end the link and wait for the device to see
        // the end of its file, which comes after every datagram sent before it.
        wire.breakLink();
        FUZZ_CHECK(WaitFor([&] {
            const hidraw::HidrawDevice* device = hidraw.device(HidrawBoard.path);
            return !device || !device->isOpen();
        }));
        DrainEvents();

        const std::vector<hid::Report>& arrived = sent[HidrawBoard.product];
        if (wire.lossy)
            FUZZ_CHECK(IsSubsequence(arrived, wire.expected));
        else
            FUZZ_CHECK(arrived == wire.expected);
        for (const auto& [name, reads] : recorder.reads)
            FUZZ_CHECK(IsSubsequence(reads, sent[name]));
        CheckWindow(form, recorder, readsBeforeLampsOff);
    }
    DrainEvents();
    return 0;
}
