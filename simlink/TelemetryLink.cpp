#include "simlink/TelemetryLink.h"

#include "platform/Platform.h"
#include "simlink/TelemetryLinkHooks.h"

#include <cstdint>
#include <cstring>

using namespace telemetry;

namespace {

constexpr int kAliveSeconds = 30;

struct LinkState {
    platform::MappingHandle mapping = nullptr;
    const std::uint8_t *view = nullptr;
    std::size_t viewSize = 0;
    platform::EventHandle event = nullptr;
    bool open = false;
    std::int32_t lastTick = kNoTick;
    std::int64_t lastSampleTime = 0;
};

LinkState link;
TelemetryCopyHook copyHook = nullptr;
void *copyHookContext = nullptr;

const TelemetryHeader *rawHeader()
{
    return reinterpret_cast<const TelemetryHeader *>(link.view);
}

// The block lies in another process's memory: read each field once.
std::int32_t readField(const std::int32_t &field)
{
    return *static_cast<const volatile std::int32_t *>(&field);
}

bool inside(std::int64_t offset, std::int64_t length)
{
    return offset >= 0 && length >= 0 && offset + length <= static_cast<std::int64_t>(link.viewSize);
}

// Every offset and count of the header is untrusted: the simulator writes it
// and another build may use another layout.
bool headerValid()
{
    if (!link.view || link.viewSize < sizeof(TelemetryHeader))
        return false;
    const TelemetryHeader *h = rawHeader();
    const std::int64_t bufferSize = readField(h->bufferSize);
    const std::int64_t bufferCount = readField(h->bufferCount);
    if (bufferSize <= 0 || bufferCount < 1 || bufferCount > kMaxBuffers)
        return false;
    for (int i = 0; i < bufferCount; ++i) {
        if (!inside(readField(h->bufferTable[i].dataOffset), bufferSize))
            return false;
    }
    const std::int64_t varCount = readField(h->variableCount);
    if (varCount < 0
        || !inside(readField(h->variableTableOffset), varCount * static_cast<std::int64_t>(sizeof(TelemetryVarHeader))))
        return false;
    const std::int64_t textOffset = readField(h->sessionTextOffset);
    return textOffset >= 0 && textOffset < static_cast<std::int64_t>(link.viewSize);
}

} // namespace

void setTelemetryCopyHook(TelemetryCopyHook hook, void *context)
{
    copyHook = hook;
    copyHookContext = context;
}

bool telemetryOpen()
{
    platform::Os &os = platform::os();
    if (!link.mapping) {
        link.mapping = os.openMapping(kMappingName);
        link.lastTick = kNoTick;
        if (!link.mapping) {
            link.open = false;
            return false;
        }
    }
    if (!link.view) {
        std::size_t size = 0;
        link.view = static_cast<const std::uint8_t *>(os.mapView(link.mapping, &size));
        link.viewSize = link.view ? size : 0;
        link.lastTick = kNoTick;
        if (!link.view) {
            link.open = false;
            return false;
        }
    }
    if (!link.event) {
        link.event = os.openEvent(kDataValidEventName);
        link.lastTick = kNoTick;
        if (!link.event) {
            link.open = false;
            return false;
        }
    }
    if (!headerValid()) {
        link.open = false;
        return false;
    }
    link.open = true;
    return true;
}

void telemetryClose()
{
    platform::Os &os = platform::os();
    if (link.event)
        os.closeEvent(link.event);
    if (link.view)
        os.unmapView(link.view, link.viewSize);
    if (link.mapping)
        os.closeMapping(link.mapping);
    link.event = nullptr;
    link.view = nullptr;
    link.viewSize = 0;
    link.mapping = nullptr;
    link.lastTick = kNoTick;
    link.open = false;
}

const TelemetryHeader *telemetryHeader()
{
    return link.open ? rawHeader() : nullptr;
}

const char *telemetrySessionText()
{
    if (!link.open || !headerValid())
        return nullptr;
    return reinterpret_cast<const char *>(link.view) + readField(rawHeader()->sessionTextOffset);
}

std::size_t telemetrySessionTextLimit()
{
    if (!link.open || !headerValid())
        return 0;
    return link.viewSize - static_cast<std::size_t>(readField(rawHeader()->sessionTextOffset));
}

const TelemetryVarHeader *telemetryVarHeader(int index)
{
    if (!link.open || !headerValid())
        return nullptr;
    const TelemetryHeader *h = rawHeader();
    if (index < 0 || index >= readField(h->variableCount))
        return nullptr;
    return reinterpret_cast<const TelemetryVarHeader *>(
        link.view + readField(h->variableTableOffset) + static_cast<std::size_t>(index) * sizeof(TelemetryVarHeader));
}

int telemetryVarIndex(const char *name)
{
    if (!name || !link.open || !headerValid())
        return -1;
    const int count = readField(rawHeader()->variableCount);
    for (int i = 0; i < count; ++i) {
        if (std::strncmp(telemetryVarHeader(i)->name, name, kVarNameLength) == 0)
            return i;
    }
    return -1;
}

bool telemetryAlive()
{
    if (!link.open || !(static_cast<std::uint32_t>(readField(rawHeader()->statusFlags)) & kStatusConnected))
        return false;
    return platform::os().nowSeconds() - link.lastSampleTime < kAliveSeconds;
}

bool telemetryFetch(void *dst, std::size_t dstSize)
{
    if (!link.open && !telemetryOpen())
        return false;
    const TelemetryHeader *h = rawHeader();
    if (!(static_cast<std::uint32_t>(readField(h->statusFlags)) & kStatusConnected)) {
        link.lastTick = kNoTick;
        return false;
    }
    if (!headerValid())
        return false;

    const int count = readField(h->bufferCount);
    int newest = 0;
    std::int32_t tick = readField(h->bufferTable[0].tickCount);
    for (int i = 1; i < count; ++i) {
        const std::int32_t t = readField(h->bufferTable[i].tickCount);
        if (t > tick) {
            tick = t;
            newest = i;
        }
    }
    if (link.lastTick == tick)
        return false;
    if (link.lastTick > tick) {
        link.lastTick = tick;
        return false;
    }
    if (!dst) {
        link.lastTick = tick;
        link.lastSampleTime = platform::os().nowSeconds();
        return true;
    }

    const TelemetryBufferInfo &entry = h->bufferTable[newest];
    constexpr int kCopies = 2;
    for (int attempt = 0; attempt < kCopies; ++attempt) {
        // Offsets were checked above; the simulator may have changed them
        // since, so check the pair actually used.
        const std::int32_t offset = readField(entry.dataOffset);
        const std::int32_t size = readField(h->bufferSize);
        if (size <= 0 || !inside(offset, size))
            return false;
        const std::size_t n = static_cast<std::size_t>(size) < dstSize ? static_cast<std::size_t>(size) : dstSize;
        std::memcpy(dst, link.view + offset, n);
        if (copyHook)
            copyHook(copyHookContext);
        const std::int32_t after = readField(entry.tickCount);
        if (after == tick) {
            link.lastTick = tick;
            link.lastSampleTime = platform::os().nowSeconds();
            return true;
        }
        tick = after;
    }
    return false;
}

bool telemetryWait(int timeoutMs, void *dst, std::size_t dstSize)
{
    if (!link.open && !telemetryOpen()) {
        if (timeoutMs >= 1)
            platform::os().sleepMs(timeoutMs);
        return false;
    }
    if (telemetryFetch(dst, dstSize))
        return true;
    platform::os().waitEvent(link.event, timeoutMs);
    return telemetryFetch(dst, dstSize);
}
