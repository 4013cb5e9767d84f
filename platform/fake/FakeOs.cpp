#include "platform/fake/FakeOs.h"

#include <chrono>
#include <thread>

namespace platform {

std::uint32_t FakeOs::registerMessage(const char *)
{
    ++registers_;
    return 0xC0DE;
}

void FakeOs::setWindow(const std::string &title, WindowId id)
{
    Lock lock(mutex_);
    if (id == 0)
        windows_.erase(title);
    else
        windows_[title] = id;
}

const void *FakeOs::mapView(MappingHandle mapping, std::size_t *size)
{
    const bool mapped = mapping && viewAvailable_ && !image_.empty();
    *size = mapped ? image_.size() : 0;
    return mapped ? image_.data() : nullptr;
}

void FakeOs::waitEvent(EventHandle event, int timeoutMs)
{
    // Nothing pulses the fake's event: a wait lasts its time-out.
    if (event && timeoutMs > 0 && !instantTimeouts_)
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
}

WindowId FakeOs::findWindow(const char *title)
{
    Lock lock(mutex_);
    const auto it = title ? windows_.find(title) : windows_.end();
    return it == windows_.end() ? 0 : it->second;
}

bool FakeOs::programVersion(VersionNumbers *version)
{
    Lock lock(mutex_);
    if (version_)
        *version = *version_;
    return version_.has_value();
}

} // namespace platform
