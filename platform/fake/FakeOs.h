#pragma once
// A platform backend that tests steer: a memory image for the telemetry
// mapping, an event whose waits return at once, a clock the test
// advances, windows that come and go, and records of what the program
// sent. Thread-safe, but for the image (below).

#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class FakeOs : public Os {
public:
    struct Broadcast {
        std::uint64_t wParam;
        std::int64_t lParam;
    };

    // The platform the program sees while this object lives.
    FakeOs() { setOs(this); }
    ~FakeOs() override { setOs(nullptr); }

    // --- steering -------------------------------------------------------
    // The mapping's bytes, not guarded: the view points into this buffer, so
    // no lock could cover what the program reads through it. A test sets it
    // up while no other thread reads it, and may change bytes in place;
    // resizing invalidates views handed out earlier.
    std::vector<unsigned char> &image() { return image_; }
    void setMappingAvailable(bool available) { mappingAvailable_ = available; }
    void setViewAvailable(bool available) { viewAvailable_ = available; }
    void setEventAvailable(bool available) { eventAvailable_ = available; }
    void advanceSeconds(std::int64_t seconds) { now_ += seconds; }
    void setWindow(const std::string &title, WindowId id) // id 0 removes it
    {
        locked([&] { windows_[title] = id; });
    }
    void setForegroundWindow(WindowId id) { foreground_ = id; }
    void setVersion(std::optional<VersionNumbers> version) // none: not available
    {
        locked([&] { version_ = version; });
    }

    // --- observation ----------------------------------------------------
    std::vector<Broadcast> broadcasts() const { return locked([this] { return broadcasts_; }); }
    std::vector<std::uint16_t> keys() const { return locked([this] { return keys_; }); }
    std::int64_t sleptMs() const { return sleptMs_; }
    int registerCount() const { return registers_; }
    int timerBeginCount() const { return timerBegins_; }
    int timerEndCount() const { return timerEnds_; }
    int loweredThreads() const { return loweredThreads_; }

    // --- Os ---------------------------------------------------------------
    // Handles only need to be distinct from null.
    MappingHandle openMapping(const char *) override { return mappingAvailable_ ? this : nullptr; }
    const void *mapView(MappingHandle mapping, std::size_t *size) override
    {
        const bool mapped = mapping && viewAvailable_ && !image_.empty();
        *size = mapped ? image_.size() : 0;
        return mapped ? image_.data() : nullptr;
    }
    void unmapView(const void *, std::size_t) override {}
    void closeMapping(MappingHandle) override {}
    EventHandle openEvent(const char *) override { return eventAvailable_ ? this : nullptr; }
    // Nothing pulses the fake's event, and no test waits out a time-out.
    void waitEvent(EventHandle, int) override {}
    void closeEvent(EventHandle) override {}
    void sleepMs(int ms) override { sleptMs_ += std::max(ms, 0); }
    std::int64_t nowSeconds() override { return now_; }
    WindowId findWindow(const char *title) override
    {
        return locked([&] { return title && windows_.count(title) ? windows_.at(title) : 0; });
    }
    WindowId foregroundWindow() override { return foreground_; }
    std::uint32_t registerMessage(const char *) override
    {
        ++registers_;
        return 0xC0DE;
    }
    // Only the packed arguments are kept: the id is the backend test's.
    void broadcastMessage(std::uint32_t, std::uint64_t wParam, std::int64_t lParam) override
    {
        locked([&] { broadcasts_.push_back({wParam, lParam}); });
    }
    // Only the code is kept: down and up are the backend's and end-to-end tests'.
    void injectKey(std::uint16_t virtualKey, bool) override
    {
        locked([&] { keys_.push_back(virtualKey); });
    }
    void beginTimerResolution(unsigned) override { ++timerBegins_; }
    void endTimerResolution(unsigned) override { ++timerEnds_; }
    bool programVersion(VersionNumbers *version) override
    {
        std::lock_guard lock(mutex_);
        *version = version_.value_or(*version); // as it was when none
        return version_.has_value();
    }
    // No test asks the fake to end the program.
    void setTerminationHandler(void (*)()) override {}
    void lowerCurrentThreadPriority() override { ++loweredThreads_; }

private:
    // Runs `f` under the lock and returns what it returns.
    template <typename F> auto locked(F f) const -> decltype(f())
    {
        std::lock_guard lock(mutex_);
        return f();
    }

    std::vector<unsigned char> image_; // see image()
    std::atomic<bool> mappingAvailable_{true};
    std::atomic<bool> viewAvailable_{true};
    std::atomic<bool> eventAvailable_{true};
    std::atomic<std::int64_t> now_{1700000000};
    std::atomic<WindowId> foreground_{0};
    std::atomic<std::int64_t> sleptMs_{0};
    std::atomic<int> registers_{0};
    std::atomic<int> timerBegins_{0};
    std::atomic<int> timerEnds_{0};
    std::atomic<int> loweredThreads_{0};
    mutable std::mutex mutex_; // guards the members below
    std::map<std::string, WindowId> windows_; // 0: gone
    std::optional<VersionNumbers> version_ = VersionNumbers{};
    std::vector<Broadcast> broadcasts_;
    std::vector<std::uint16_t> keys_;
};

} // namespace platform
