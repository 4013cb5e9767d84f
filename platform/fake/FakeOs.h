#pragma once
// A platform backend that tests steer: a memory image for the telemetry
// mapping, an event whose waits last their time-out, a clock the test
// advances, windows that come and go, and records of everything the program
// sent. Thread-safe, but for the image (below).

#include "platform/Platform.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class FakeOs : public Os {
public:
    struct Broadcast {
        std::uint32_t message;
        std::uint64_t wParam;
        std::int64_t lParam;
    };
    struct Key {
        std::uint16_t code;
        bool up;
    };

    // --- steering -------------------------------------------------------
    // The mapping's bytes, not guarded: the view points into this buffer, so
    // no lock could cover what the program reads through it. A test sets it
    // up while no other thread reads it, and may change bytes in place;
    // resizing invalidates views handed out earlier.
    std::vector<unsigned char> &image() { return image_; }
    void setMappingAvailable(bool available) { set(mappingAvailable_, available); }
    void setViewAvailable(bool available) { set(viewAvailable_, available); }
    void setEventAvailable(bool available) { set(eventAvailable_, available); }
    // Time-outs of waitEvent return at once instead of waiting.
    void setInstantTimeouts(bool instant) { set(instantTimeouts_, instant); }
    void advanceSeconds(std::int64_t seconds) { add(now_, seconds); }
    void setWindow(const std::string &title, WindowId id); // id 0 removes it
    void setForegroundWindow(WindowId id) { set(foreground_, id); }
    void setVersion(std::optional<VersionNumbers> version) { set(version_, version); } // none: not available

    // --- observation ----------------------------------------------------
    std::vector<Broadcast> broadcasts() const { return get(broadcasts_); }
    std::vector<Key> keys() const { return get(keys_); }
    std::int64_t sleptMs() const { return get(sleptMs_); }
    int registerCount() const { return get(registers_); }
    int timerBeginCount() const { return get(timerBegins_); }
    int timerEndCount() const { return get(timerEnds_); }
    int loweredThreads() const { return get(loweredThreads_); }

    // --- Os ---------------------------------------------------------------
    // Handles only need to be distinct from null.
    MappingHandle openMapping(const char *) override { return get(mappingAvailable_) ? this : nullptr; }
    const void *mapView(MappingHandle mapping, std::size_t *size) override;
    void unmapView(const void *, std::size_t) override {}
    void closeMapping(MappingHandle) override {}
    EventHandle openEvent(const char *) override { return get(eventAvailable_) ? this : nullptr; }
    void waitEvent(EventHandle event, int timeoutMs) override;
    void closeEvent(EventHandle) override {}
    void sleepMs(int ms) override { add(sleptMs_, std::max(ms, 0)); }
    std::int64_t nowSeconds() override { return get(now_); }
    WindowId findWindow(const char *title) override;
    WindowId foregroundWindow() override { return get(foreground_); }
    std::uint32_t registerMessage(const char *) override;
    void broadcastMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam) override
    {
        Lock lock(mutex_);
        broadcasts_.push_back({message, wParam, lParam});
    }
    void injectKey(std::uint16_t virtualKey, bool keyUp) override
    {
        Lock lock(mutex_);
        keys_.push_back({virtualKey, keyUp});
    }
    void beginTimerResolution(unsigned) override { add(timerBegins_, 1); }
    void endTimerResolution(unsigned) override { add(timerEnds_, 1); }
    bool programVersion(VersionNumbers *version) override;
    // No test asks the fake to end the program.
    void setTerminationHandler(void (*)()) override {}
    void lowerCurrentThreadPriority() override { add(loweredThreads_, 1); }

private:
    using Lock = std::lock_guard<std::mutex>;
    template <typename T, typename V> void set(T &member, V &&value)
    {
        Lock lock(mutex_);
        member = std::forward<V>(value);
    }
    template <typename T, typename V> void add(T &member, V delta)
    {
        Lock lock(mutex_);
        member += delta;
    }
    template <typename T> T get(const T &member) const
    {
        Lock lock(mutex_);
        return member;
    }

    std::vector<unsigned char> image_; // see image()
    mutable std::mutex mutex_;          // guards every member below
    bool mappingAvailable_ = true;
    bool viewAvailable_ = true;
    bool eventAvailable_ = true;
    bool instantTimeouts_ = false;
    std::int64_t now_ = 1700000000;
    std::map<std::string, WindowId> windows_;
    WindowId foreground_ = 0;
    std::optional<VersionNumbers> version_ = VersionNumbers{};
    std::vector<Broadcast> broadcasts_;
    std::vector<Key> keys_;
    std::int64_t sleptMs_ = 0;
    int registers_ = 0;
    int timerBegins_ = 0;
    int timerEnds_ = 0;
    int loweredThreads_ = 0;
};

} // namespace platform
