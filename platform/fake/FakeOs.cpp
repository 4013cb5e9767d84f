#include "platform/fake/FakeOs.h"

#include <chrono>
#include <thread>
#include <utility>

namespace platform {

namespace {
// Handles only need to be distinct from null.
char mappingToken;
char eventToken;
} // namespace

void FakeOs::setImage(std::vector<unsigned char> bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    image_ = std::move(bytes);
}

void FakeOs::setMappingAvailable(bool available)
{
    std::lock_guard<std::mutex> lock(mutex_);
    mappingAvailable_ = available;
}

void FakeOs::setViewAvailable(bool available)
{
    std::lock_guard<std::mutex> lock(mutex_);
    viewAvailable_ = available;
}

void FakeOs::setEventAvailable(bool available)
{
    std::lock_guard<std::mutex> lock(mutex_);
    eventAvailable_ = available;
}

void FakeOs::setInstantTimeouts(bool instant)
{
    std::lock_guard<std::mutex> lock(mutex_);
    instantTimeouts_ = instant;
}

void FakeOs::advanceSeconds(std::int64_t seconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    now_ += seconds;
}

void FakeOs::setWindow(const std::string &title, WindowId id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (id == 0)
        windows_.erase(title);
    else
        windows_[title] = id;
}

void FakeOs::setForegroundWindow(WindowId id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    foreground_ = id;
}

void FakeOs::setVersion(bool available, VersionNumbers version)
{
    std::lock_guard<std::mutex> lock(mutex_);
    versionAvailable_ = available;
    version_ = version;
}

std::vector<FakeOs::Broadcast> FakeOs::broadcasts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return broadcasts_;
}

std::vector<FakeOs::Key> FakeOs::keys() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return keys_;
}

std::int64_t FakeOs::sleptMs() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sleptMs_;
}

int FakeOs::registerCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return registers_;
}

int FakeOs::timerBeginCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return timerBegins_;
}

int FakeOs::timerEndCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return timerEnds_;
}

MappingHandle FakeOs::openMapping(const char *)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return mappingAvailable_ ? &mappingToken : nullptr;
}

const void *FakeOs::mapView(MappingHandle mapping, std::size_t *size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (size)
        *size = 0;
    if (!mapping || !size || !viewAvailable_ || image_.empty())
        return nullptr;
    *size = image_.size();
    return image_.data();
}

EventHandle FakeOs::openEvent(const char *)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return eventAvailable_ ? &eventToken : nullptr;
}

void FakeOs::waitEvent(EventHandle event, int timeoutMs)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!event || timeoutMs <= 0 || instantTimeouts_)
            return;
    }
    // Nothing pulses the fake's event: a wait lasts its time-out.
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
}

void FakeOs::sleepMs(int ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (ms > 0)
        sleptMs_ += ms;
}

std::int64_t FakeOs::nowSeconds()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

WindowId FakeOs::findWindow(const char *title)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!title)
        return 0;
    const auto it = windows_.find(title);
    return it == windows_.end() ? 0 : it->second;
}

WindowId FakeOs::foregroundWindow()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return foreground_;
}

std::uint32_t FakeOs::registerMessage(const char *)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++registers_;
    return 0xC0DE;
}

void FakeOs::broadcastMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam)
{
    std::lock_guard<std::mutex> lock(mutex_);
    broadcasts_.push_back({message, wParam, lParam});
}

void FakeOs::injectKey(std::uint16_t virtualKey, bool keyUp)
{
    std::lock_guard<std::mutex> lock(mutex_);
    keys_.push_back({virtualKey, keyUp});
}

void FakeOs::beginTimerResolution(unsigned)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++timerBegins_;
}

void FakeOs::endTimerResolution(unsigned)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++timerEnds_;
}

bool FakeOs::programVersion(VersionNumbers *version)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!versionAvailable_ || !version)
        return false;
    *version = version_;
    return true;
}

} // namespace platform
