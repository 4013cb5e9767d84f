#pragma once
// A platform backend that tests steer: a memory image for the telemetry
// mapping, an event whose waits last their time-out, a clock the test
// advances, windows that come and go, and records of everything the program
// sent. Thread-safe.

#include "platform/Platform.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
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
    // The mapping's bytes. The view points into this buffer, so a test may
    // change bytes in place; resizing invalidates views handed out earlier.
    std::vector<unsigned char> &image() { return image_; }
    void setImage(std::vector<unsigned char> bytes);
    void setMappingAvailable(bool available);
    void setViewAvailable(bool available);
    void setEventAvailable(bool available);
    // Time-outs of waitEvent return at once instead of waiting.
    void setInstantTimeouts(bool instant);
    void advanceSeconds(std::int64_t seconds);
    void setWindow(const std::string &title, WindowId id); // id 0 removes it
    void setForegroundWindow(WindowId id);
    void setVersion(bool available, VersionNumbers version = {});

    // --- observation ----------------------------------------------------
    std::vector<Broadcast> broadcasts() const;
    std::vector<Key> keys() const;
    std::int64_t sleptMs() const;
    int registerCount() const;
    int timerBeginCount() const;
    int timerEndCount() const;

    // --- Os ---------------------------------------------------------------
    MappingHandle openMapping(const char *name) override;
    const void *mapView(MappingHandle mapping, std::size_t *size) override;
    void unmapView(const void *, std::size_t) override {}
    void closeMapping(MappingHandle) override {}
    EventHandle openEvent(const char *name) override;
    void waitEvent(EventHandle event, int timeoutMs) override;
    void closeEvent(EventHandle) override {}
    void sleepMs(int ms) override;
    std::int64_t nowSeconds() override;
    WindowId findWindow(const char *title) override;
    WindowId foregroundWindow() override;
    std::uint32_t registerMessage(const char *name) override;
    void broadcastMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam) override;
    void injectKey(std::uint16_t virtualKey, bool keyUp) override;
    void beginTimerResolution(unsigned ms) override;
    void endTimerResolution(unsigned ms) override;
    bool programVersion(VersionNumbers *version) override;
    // No test asks the fake to end the program.
    void setTerminationHandler(void (*)()) override {}

private:
    mutable std::mutex mutex_; // guards every member below
    std::vector<unsigned char> image_;
    bool mappingAvailable_ = true;
    bool viewAvailable_ = true;
    bool eventAvailable_ = true;
    bool instantTimeouts_ = false;
    std::int64_t now_ = 1700000000;
    std::map<std::string, WindowId> windows_;
    WindowId foreground_ = 0;
    bool versionAvailable_ = true;
    VersionNumbers version_{};
    std::vector<Broadcast> broadcasts_;
    std::vector<Key> keys_;
    std::int64_t sleptMs_ = 0;
    int registers_ = 0;
    int timerBegins_ = 0;
    int timerEnds_ = 0;
};

} // namespace platform
