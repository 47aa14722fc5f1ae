#pragma once

#include "hidraw/HidrawDevice.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace testsupport {

/// What the fake node answers, shared with the device's threads (hence the lock and the
/// shared ownership: a thread left behind by close may still be using it).
struct NodeScript {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::uint8_t, int> writeErrors; // by command byte: the errno that write answers
    int readError = 0;                       // once set, every read answers it
    std::uint8_t blockingCommand = 0xFF;     // a write of this command waits for `released`
    std::chrono::milliseconds slowWrite{0};  // else it takes this long, then succeeds
    bool blocked = false;
    bool released = false;
    bool blockedWriteReturned = false;

    void failWrites(std::uint8_t code, int error) {
        const std::lock_guard lock(mutex);
        writeErrors[code] = error;
    }
    void failReads(int error) {
        const std::lock_guard lock(mutex);
        readError = error;
    }
    void blockWrites(std::uint8_t code) {
        const std::lock_guard lock(mutex);
        blockingCommand = code;
    }
    bool isBlocked() {
        const std::lock_guard lock(mutex);
        return blocked;
    }
    bool returned() {
        const std::lock_guard lock(mutex);
        return blockedWriteReturned;
    }
    void release() {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

/// Node calls that pass reads and writes on to the socket, except where the script says.
inline hidraw::NodeCalls ScriptedCalls(const std::shared_ptr<NodeScript>& script) {
    const hidraw::NodeCalls real = hidraw::NodeCalls::system();
    hidraw::NodeCalls calls;
    calls.read = [script, real](int fd, std::uint8_t* buffer, std::size_t size) -> ssize_t {
        {
            const std::lock_guard lock(script->mutex);
            if (script->readError != 0) {
                errno = script->readError;
                return -1;
            }
        }
        return real.read(fd, buffer, size);
    };
    calls.write = [script, real](int fd, const std::uint8_t* data, std::size_t size) -> ssize_t {
        std::unique_lock lock(script->mutex);
        if (data[1] == script->blockingCommand && script->slowWrite.count() > 0) {
            // A board that answers after a while: the kernel holds the write, then takes it.
            script->blocked = true;
            lock.unlock();
            std::this_thread::sleep_for(script->slowWrite);
            return real.write(fd, data, size);
        }
        if (data[1] == script->blockingCommand) {
            // A board that does not answer: the kernel holds the write (up to 5 s on USB).
            script->blocked = true;
            script->changed.wait(lock, [&] { return script->released; });
            script->blockedWriteReturned = true;
            errno = ETIMEDOUT;
            return -1;
        }
        if (const auto it = script->writeErrors.find(data[1]); it != script->writeErrors.end()) {
            errno = it->second;
            return -1;
        }
        lock.unlock();
        return real.write(fd, data, size);
    };
    return calls;
}

} // namespace testsupport
