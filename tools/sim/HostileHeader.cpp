#include "tools/sim/HostileHeader.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace sim {

void writeHostileHeader(TelemetryImageWriter &writer, int step)
{
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const auto size = static_cast<std::int32_t>(std::min<std::size_t>(writer.blockSize(), kMax));
    struct Pattern {
        std::int32_t textOffset, varCount, varTableOffset, bufferCount, bufferSize, dataOffset;
    };
    const Pattern patterns[] = {
        {0, 0, 0, 0, 0, 0},
        {-1, -1, -1, -1, -1, -1},
        {kMax, kMax, kMax, kMax, kMax, kMax},
        {kMin, kMin, kMin, kMin, kMin, kMin},
        {size, 0x01000000, size - 100, kMax, 0x10000000, size},
        {size - 1, 1, size - 144, 5, size, 1},
        // Inside the block, but the table is misaligned and the data is the
        // header itself.
        {0, 1, 3, 1, 16, 0},
        {3, 2, 1, size / 16, 4, 2},
    };
    const Pattern &p = patterns[static_cast<unsigned>(step) % (sizeof patterns / sizeof patterns[0])];
    telemetry::TelemetryHeader *h = writer.header();
    h->statusFlags = static_cast<std::int32_t>(static_cast<std::uint32_t>(step) << 1 | telemetry::kStatusConnected);
    h->sessionTextOffset = p.textOffset;
    h->variableCount = p.varCount;
    h->variableTableOffset = p.varTableOffset;
    h->bufferCount = p.bufferCount;
    h->bufferSize = p.bufferSize;
    for (telemetry::TelemetryBufferInfo &entry : h->bufferTable) {
        entry.dataOffset = p.dataOffset;
        entry.tickCount = writer.nextTick();
        writer.setNextTick(writer.nextTick() + 1);
    }
}

} // namespace sim
