#pragma once

#include <unistd.h>
#include <utility>

namespace hid {

/// An open descriptor that closes itself unless it is handed on.
class OwnedDescriptor {
public:
    OwnedDescriptor() = default;
    explicit OwnedDescriptor(int fd) : fd_(fd) {}
    ~OwnedDescriptor() { reset(); }
    OwnedDescriptor(OwnedDescriptor&& other) noexcept : fd_(other.release()) {}
    OwnedDescriptor& operator=(OwnedDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    /// The descriptor, now the caller's to close; -1 when there is none.
    int release() { return std::exchange(fd_, -1); }
    /// Closes the descriptor now, if there is one.
    void reset() {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    }

private:
    int fd_ = -1;
};

} // namespace hid
