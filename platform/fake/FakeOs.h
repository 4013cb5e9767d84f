#pragma once
// A platform backend that tests steer: a memory image for the telemetry
// mapping, an event the test pulses, a clock the test advances, windows that
// come and go, and records of everything the program sent. Thread-safe.

#include "platform/Platform.h"

#include <condition_variable>
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
    // Wakes waits that are in progress.
    void pulseEvent();
    // Time-outs of waitEvent return at once instead of waiting.
    void setInstantTimeouts(bool instant);
    void setNowSeconds(std::int64_t seconds);
    void advanceSeconds(std::int64_t seconds);
    void setWindow(const std::string &title, WindowId id); // id 0 removes it
    void setForegroundWindow(WindowId id);
    void setVersion(bool available, VersionNumbers version = {});
    void setRegisteredMessage(std::uint32_t id); // 0 makes registration fail

    // --- observation ----------------------------------------------------
    std::vector<Broadcast> broadcasts() const;
    std::vector<Key> keys() const;
    std::vector<int> sleeps() const;
    std::int64_t sleptMs() const;
    int waitCount() const;
    int registerCount() const;
    int timerBeginCount() const;
    int timerEndCount() const;
    int openMappings() const; // mappings opened and not closed
    int openViews() const;
    int openEvents() const;

    // --- Os ---------------------------------------------------------------
    MappingHandle openMapping(const char *name) override;
    const void *mapView(MappingHandle mapping, std::size_t *size) override;
    void unmapView(const void *view, std::size_t size) override;
    void closeMapping(MappingHandle mapping) override;
    EventHandle openEvent(const char *name) override;
    void waitEvent(EventHandle event, int timeoutMs) override;
    void closeEvent(EventHandle event) override;
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
    std::condition_variable pulsed_;
    std::vector<unsigned char> image_;
    bool mappingAvailable_ = true;
    bool viewAvailable_ = true;
    bool eventAvailable_ = true;
    bool instantTimeouts_ = false;
    std::uint64_t pulses_ = 0;
    std::int64_t now_ = 1700000000;
    std::map<std::string, WindowId> windows_;
    WindowId foreground_ = 0;
    bool versionAvailable_ = true;
    VersionNumbers version_{};
    std::uint32_t messageId_ = 0xC0DE;
    std::vector<Broadcast> broadcasts_;
    std::vector<Key> keys_;
    std::vector<int> sleeps_;
    std::int64_t sleptMs_ = 0;
    int waits_ = 0;
    int registers_ = 0;
    int timerBegins_ = 0;
    int timerEnds_ = 0;
    int mappings_ = 0;
    int views_ = 0;
    int events_ = 0;
};

} // namespace platform
