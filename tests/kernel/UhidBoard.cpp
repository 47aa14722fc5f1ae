#include "UhidBoard.h"

#include "board/BoardFirmware.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/uhid.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint8_t NumberedReportId = 1;
constexpr std::uint16_t VendorId = 0x1234;
constexpr std::uint16_t ProductId = 0x0001;

// Vendor page 0xFF00, one application collection: 32 bytes in, 32 bytes out. The numbered
// variant puts Report ID 1 in front of both.
std::vector<std::uint8_t> descriptor(bool reportId) {
    std::vector<std::uint8_t> bytes{
        0x06, 0x00, 0xFF, // Usage Page (vendor 0xFF00)
        0x09, 0x01,       // Usage 1
        0xA1, 0x01,       // Collection (Application)
    };
    if (reportId) bytes.insert(bytes.end(), {0x85, NumberedReportId}); // Report ID 1
    bytes.insert(bytes.end(), {
                                  0x15, 0x00,       // Logical Minimum 0
                                  0x26, 0xFF, 0x00, // Logical Maximum 255
                                  0x75, 0x08,       // Report Size 8
                                  0x95, 0x20,       // Report Count 32
                                  0x09, 0x02,       // Usage 2
                                  0x81, 0x02,       // Input (Data, Variable, Absolute)
                                  0x09, 0x03,       // Usage 3
                                  0x91, 0x02,       // Output (Data, Variable, Absolute)
                                  0xC0,             // End Collection
                              });
    return bytes;
}

std::string hex(const std::uint8_t* data, std::size_t size) {
    std::string text;
    char digits[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, i == 0 ? "%02x" : " %02x", data[i]);
        text += digits;
    }
    return text;
}

std::string uniqueName(int generation) {
    return "zov-uhid-" + std::to_string(::getpid()) + "-" + std::to_string(generation);
}

/// The /dev/hidrawN whose HID device carries `uniq`, or empty while the kernel has none.
std::string findNode(const std::string& uniq) {
    DIR* dir = ::opendir("/sys/class/hidraw");
    if (!dir) return {};
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "hidraw", 6) != 0) continue;
        std::ifstream uevent(std::string("/sys/class/hidraw/") + entry->d_name + "/device/uevent");
        std::string line;
        while (std::getline(uevent, line))
            if (line == "HID_UNIQ=" + uniq) found = std::string("/dev/") + entry->d_name;
    }
    ::closedir(dir);
    return found;
}

bool writeEvent(int fd, const uhid_event& event) {
    return ::write(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

} // namespace

UhidBoard::UhidBoard(Log log) : log_(std::move(log)) {
    fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) log_(std::string("error cannot open /dev/uhid: ") + std::strerror(errno));
}

UhidBoard::~UhidBoard() {
    unplug();
    if (fd_ >= 0) ::close(fd_);
}

const std::string& UhidBoard::node() {
    if (plugged_ && node_.empty()) node_ = findNode(uniqueName(generation_));
    return node_;
}

bool UhidBoard::plug(const Options& options) {
    if (plugged_ || fd_ < 0) return false;
    options_ = options;
    ++generation_;
    node_.clear();
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    std::snprintf(reinterpret_cast<char*>(create.name), sizeof create.name,
                  "ZOV Electronics ZOV-USB Board");
    std::snprintf(reinterpret_cast<char*>(create.phys), sizeof create.phys, "usb-uhid-stand-in");
    std::snprintf(reinterpret_cast<char*>(create.uniq), sizeof create.uniq, "%s",
                  uniqueName(generation_).c_str());
    const std::vector<std::uint8_t> bytes = descriptor(options.reportId);
    std::memcpy(create.rd_data, bytes.data(), bytes.size());
    create.rd_size = static_cast<__u16>(bytes.size());
    create.bus = BUS_USB;
    create.vendor = VendorId;
    create.product = ProductId;
    if (!writeEvent(fd_, event)) {
        log_(std::string("error UHID_CREATE2: ") + std::strerror(errno));
        return false;
    }
    plugged_ = true;
    return true;
}

bool UhidBoard::unplug() {
    if (!plugged_) return false;
    uhid_event event{};
    event.type = UHID_DESTROY;
    if (!writeEvent(fd_, event)) log_(std::string("error UHID_DESTROY: ") + std::strerror(errno));
    plugged_ = false;
    return true;
}

void UhidBoard::setAnswerText(const std::string& text) {
    answerText_.fill(0);
    std::copy_n(text.begin(), std::min(text.size(), answerText_.size()), answerText_.begin());
}

int UhidBoard::readEvents(bool stopAfterOutput) {
    int outputs = 0;
    uhid_event event{};
    while (!(stopAfterOutput && outputs > 0) && ::read(fd_, &event, sizeof event) > 0) {
        switch (event.type) {
        case UHID_OUTPUT:
            handleOutput(event.u.output.data, event.u.output.size);
            ++outputs;
            break;
        case UHID_OPEN:
            log_("open");
            break;
        case UHID_CLOSE:
            log_("close");
            break;
        case UHID_GET_REPORT: {
            // Nothing the console sends asks for this; answer at once rather than leave the
            // asker waiting for the kernel's time-out.
            uhid_event reply{};
            reply.type = UHID_GET_REPORT_REPLY;
            reply.u.get_report_reply.id = event.u.get_report.id;
            reply.u.get_report_reply.err = EIO;
            writeEvent(fd_, reply);
            log_("get-report");
            break;
        }
        case UHID_SET_REPORT: {
            uhid_event reply{};
            reply.type = UHID_SET_REPORT_REPLY;
            reply.u.set_report_reply.id = event.u.set_report.id;
            reply.u.set_report_reply.err = EIO;
            writeEvent(fd_, reply);
            log_("set-report");
            break;
        }
        default:
            break;
        }
    }
    return outputs;
}

void UhidBoard::handleOutput(const std::uint8_t* data, std::size_t size) {
    // uhid hands on what the writer wrote, report id first. A USB board never sees a zero
    // report id (the USB HID driver leaves it out), so neither does this one.
    if (!options_.reportId && size > 0 && data[0] == 0) {
        ++data;
        --size;
    }
    log_("output " + std::to_string(size) + " " + hex(data, size));
    if (options_.reportId || size < board::firmware::Command) return;
    answer(data[board::firmware::Command - 1]);
}

void UhidBoard::answer(std::uint8_t command) {
    const auto reply = board::firmware::answerTo(command, {adValue_, inputBits_, answerText_});
    if (!reply) return;
    std::array<std::uint8_t, PayloadSize> payload{};
    std::copy(reply->begin() + 1, reply->end(), payload.begin());
    sendInput(payload);
}

bool UhidBoard::sendInput(const std::array<std::uint8_t, PayloadSize>& payload) {
    if (!plugged_) return false;
    uhid_event event{};
    event.type = UHID_INPUT2;
    auto& input = event.u.input2;
    std::size_t size = 0;
    if (options_.reportId) input.data[size++] = NumberedReportId;
    std::copy(payload.begin(), payload.end(), input.data + size);
    input.size = static_cast<__u16>(size + payload.size());
    if (writeEvent(fd_, event)) return true;
    log_(std::string("error UHID_INPUT2: ") + std::strerror(errno));
    return false;
}
