#include "platform/fake/FakeOs.h"

#include <chrono>
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

void FakeOs::pulseEvent()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++pulses_;
    }
    pulsed_.notify_all();
}

void FakeOs::setInstantTimeouts(bool instant)
{
    std::lock_guard<std::mutex> lock(mutex_);
    instantTimeouts_ = instant;
}

void FakeOs::setNowSeconds(std::int64_t seconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    now_ = seconds;
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

void FakeOs::setRegisteredMessage(std::uint32_t id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    messageId_ = id;
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

std::vector<int> FakeOs::sleeps() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
}

std::int64_t FakeOs::sleptMs() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sleptMs_;
}

int FakeOs::waitCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return waits_;
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

int FakeOs::openMappings() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return mappings_;
}

int FakeOs::openViews() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return views_;
}

int FakeOs::openEvents() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

MappingHandle FakeOs::openMapping(const char *)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!mappingAvailable_)
        return nullptr;
    ++mappings_;
    return &mappingToken;
}

const void *FakeOs::mapView(MappingHandle mapping, std::size_t *size)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (size)
        *size = 0;
    if (!mapping || !size || !viewAvailable_ || image_.empty())
        return nullptr;
    ++views_;
    *size = image_.size();
    return image_.data();
}

void FakeOs::unmapView(const void *view, std::size_t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (view)
        --views_;
}

void FakeOs::closeMapping(MappingHandle mapping)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (mapping)
        --mappings_;
}

EventHandle FakeOs::openEvent(const char *)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!eventAvailable_)
        return nullptr;
    ++events_;
    return &eventToken;
}

void FakeOs::waitEvent(EventHandle event, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    ++waits_;
    if (!event || timeoutMs <= 0 || instantTimeouts_)
        return;
    // Pulsed: only a pulse after the wait began ends it.
    const std::uint64_t seen = pulses_;
    pulsed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pulses_ != seen; });
}

void FakeOs::closeEvent(EventHandle event)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (event)
        --events_;
}

void FakeOs::sleepMs(int ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(ms);
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
    return messageId_;
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
