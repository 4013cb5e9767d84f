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

// Every read of the block goes through volatile, so it is made exactly once:
// an optimiser may otherwise read a field again in place of its checked
// copy. Byte by byte, as the block need not be aligned for the type read.
void copyFromBlock(void *dst, std::size_t offset, std::size_t n)
{
    const volatile std::uint8_t *from = link.view + offset;
    auto *to = static_cast<std::uint8_t *>(dst);
    for (std::size_t i = 0; i < n; ++i)
        to[i] = from[i];
}

// One read of a 32-bit field at a byte offset the caller has checked.
std::int32_t readInt32(std::size_t offset)
{
    std::int32_t v;
    copyFromBlock(&v, offset, sizeof v);
    return v;
}

bool inside(std::int64_t offset, std::int64_t length)
{
    return offset >= 0 && length >= 0 && offset <= static_cast<std::int64_t>(link.viewSize)
           && length <= static_cast<std::int64_t>(link.viewSize) - offset;
}

// The header fields, copied in one go; no check yet.
bool copyHeader(TelemetryHeaderFields *out)
{
    if (!link.view || link.viewSize < kBufferTableOffset)
        return false;
    out->statusFlags = readInt32(offsetof(TelemetryHeader, statusFlags));
    out->sessionTextOffset = readInt32(offsetof(TelemetryHeader, sessionTextOffset));
    out->variableCount = readInt32(offsetof(TelemetryHeader, variableCount));
    out->variableTableOffset = readInt32(offsetof(TelemetryHeader, variableTableOffset));
    out->bufferCount = readInt32(offsetof(TelemetryHeader, bufferCount));
    out->bufferSize = readInt32(offsetof(TelemetryHeader, bufferSize));
    return true;
}

// Buffer table entries to walk: with bufferCount 1 or less, entry 0 alone.
std::int64_t ringEntries(const TelemetryHeaderFields &h)
{
    return h.bufferCount > 1 ? h.bufferCount : 1;
}

std::size_t entryOffset(std::int64_t index)
{
    return kBufferTableOffset + static_cast<std::size_t>(index) * sizeof(TelemetryBufferInfo);
}

// Every offset, count and size of the copy must describe something inside
// the mapping; the ring has no cap but the mapping. The entries' data
// offsets are checked where each entry is read.
bool fieldsFit(const TelemetryHeaderFields &h)
{
    const auto entries = ringEntries(h);
    if (h.bufferSize <= 0 || !inside(0, h.bufferSize)
        || !inside(kBufferTableOffset, entries * static_cast<std::int64_t>(sizeof(TelemetryBufferInfo))))
        return false;
    if (h.variableCount < 0
        || !inside(h.variableTableOffset,
                   static_cast<std::int64_t>(h.variableCount) * static_cast<std::int64_t>(sizeof(TelemetryVarHeader))))
        return false;
    return h.sessionTextOffset >= 0 && h.sessionTextOffset < static_cast<std::int64_t>(link.viewSize);
}

bool checkedHeader(TelemetryHeaderFields *out)
{
    return copyHeader(out) && fieldsFit(*out);
}

struct Entry {
    std::int32_t tick;
    std::int32_t dataOffset;
};

Entry readEntry(std::int64_t index)
{
    return Entry{readInt32(entryOffset(index) + offsetof(TelemetryBufferInfo, tickCount)),
                 readInt32(entryOffset(index) + offsetof(TelemetryBufferInfo, dataOffset))};
}

// The newest entry of the ring (lower index on equal ticks); false when any
// entry's data lies outside the mapping.
bool newestEntry(const TelemetryHeaderFields &h, std::int64_t *index, Entry *newest)
{
    const std::int64_t entries = ringEntries(h);
    for (std::int64_t i = 0; i < entries; ++i) {
        const Entry e = readEntry(i);
        if (!inside(e.dataOffset, h.bufferSize))
            return false;
        if (i == 0 || e.tick > newest->tick) {
            *newest = e;
            *index = i;
        }
    }
    return true;
}

bool connected(const TelemetryHeaderFields &h)
{
    return (static_cast<std::uint32_t>(h.statusFlags) & kStatusConnected) != 0;
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
    TelemetryHeaderFields h;
    std::int64_t index = 0;
    Entry newest{};
    if (!checkedHeader(&h) || !newestEntry(h, &index, &newest)) {
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

bool telemetryHeaderFields(TelemetryHeaderFields *out)
{
    return out && link.open && checkedHeader(out);
}

const char *telemetrySessionText(std::size_t *limit)
{
    TelemetryHeaderFields h;
    if (limit)
        *limit = 0;
    if (!limit || !link.open || !checkedHeader(&h))
        return nullptr;
    *limit = link.viewSize - static_cast<std::size_t>(h.sessionTextOffset);
    return reinterpret_cast<const char *>(link.view) + h.sessionTextOffset;
}

bool telemetryVarHeader(int index, TelemetryVarHeader *out)
{
    TelemetryHeaderFields h;
    if (!out || !link.open || !checkedHeader(&h) || index < 0 || index >= h.variableCount)
        return false;
    // Copied whole: the table need not be aligned, and its fields may change.
    copyFromBlock(out, static_cast<std::size_t>(h.variableTableOffset) + static_cast<std::size_t>(index) * sizeof(TelemetryVarHeader),
                  sizeof *out);
    return true;
}

int telemetryVarIndex(const char *name)
{
    TelemetryHeaderFields h;
    if (!name || !link.open || !checkedHeader(&h))
        return -1;
    char entryName[kVarNameLength];
    for (int i = 0; i < h.variableCount; ++i) {
        copyFromBlock(entryName, static_cast<std::size_t>(h.variableTableOffset) + static_cast<std::size_t>(i) * sizeof(TelemetryVarHeader)
                                     + offsetof(TelemetryVarHeader, name),
                      sizeof entryName);
        if (std::strncmp(entryName, name, kVarNameLength) == 0)
            return i;
    }
    return -1;
}

bool telemetryAlive()
{
    TelemetryHeaderFields h;
    if (!link.open || !copyHeader(&h) || !connected(h))
        return false;
    return platform::os().nowSeconds() - link.lastSampleTime < kAliveSeconds;
}

bool telemetryFetch(void *dst, std::size_t dstSize, TelemetrySampleTaken *taken)
{
    if (!link.open && !telemetryOpen())
        return false;
    TelemetryHeaderFields h;
    if (!copyHeader(&h))
        return false;
    if (!connected(h)) {
        link.lastTick = kNoTick;
        return false;
    }
    std::int64_t newest = 0;
    Entry entry{};
    if (!fieldsFit(h) || !newestEntry(h, &newest, &entry))
        return false;

    std::int32_t tick = entry.tick;
    if (link.lastTick == tick)
        return false;
    if (link.lastTick > tick) {
        link.lastTick = tick;
        return false;
    }
    if (!dst) {
        link.lastTick = tick;
        link.lastSampleTime = platform::os().nowSeconds();
        if (taken)
            *taken = TelemetrySampleTaken{tick, h.bufferSize};
        return true;
    }

    // The offset and size were checked together above; only the tick count
    // is read again, to see whether the simulator rewrote the buffer.
    const std::size_t n = static_cast<std::size_t>(h.bufferSize) < dstSize ? static_cast<std::size_t>(h.bufferSize) : dstSize;
    constexpr int kCopies = 2;
    for (int attempt = 0; attempt < kCopies; ++attempt) {
        std::memcpy(dst, link.view + entry.dataOffset, n);
        if (copyHook)
            copyHook(copyHookContext);
        const std::int32_t after = readInt32(entryOffset(newest) + offsetof(TelemetryBufferInfo, tickCount));
        if (after == tick) {
            link.lastTick = tick;
            link.lastSampleTime = platform::os().nowSeconds();
            if (taken)
                *taken = TelemetrySampleTaken{tick, h.bufferSize};
            return true;
        }
        tick = after;
    }
    return false;
}

bool telemetryWait(int timeoutMs, void *dst, std::size_t dstSize, TelemetrySampleTaken *taken)
{
    if (!link.open && !telemetryOpen()) {
        if (timeoutMs >= 1)
            platform::os().sleepMs(timeoutMs);
        return false;
    }
    if (telemetryFetch(dst, dstSize, taken))
        return true;
    platform::os().waitEvent(link.event, timeoutMs);
    return telemetryFetch(dst, dstSize, taken);
}
