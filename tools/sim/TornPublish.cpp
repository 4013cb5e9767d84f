#include "tools/sim/TornPublish.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace sim {

int publishInPlace(TelemetryImageWriter &writer, int pieces, const std::function<void(int)> &afterPiece)
{
    telemetry::TelemetryHeader *h = writer.header();
    const int count = std::clamp(h->bufferCount, 1, telemetry::kMaxBuffers);
    int newest = 0;
    for (int i = 1; i < count; ++i) {
        if (h->bufferTable[i].tickCount > h->bufferTable[newest].tickCount)
            newest = i;
    }
    const std::vector<std::uint8_t> &sample = writer.staging();
    const std::size_t size = std::min(sample.size(), static_cast<std::size_t>(std::max(h->bufferSize, 0)));
    const std::int32_t tick = writer.nextTick();
    std::uint8_t *data = writer.bufferData(newest);

    h->bufferTable[newest].tickCount = tick;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    const int parts = std::max(1, pieces);
    const std::size_t step = (size + static_cast<std::size_t>(parts) - 1) / static_cast<std::size_t>(parts);
    for (int piece = 0; piece < parts; ++piece) {
        const std::size_t from = std::min(size, step * static_cast<std::size_t>(piece));
        const std::size_t to = std::min(size, from + step);
        std::memcpy(data + from, sample.data() + from, to - from);
        if (afterPiece)
            afterPiece(piece);
    }
    std::atomic_thread_fence(std::memory_order_seq_cst);
    h->bufferTable[newest].tickCount = tick + 1;
    writer.setNextTick(tick + 2);
    return newest;
}

} // namespace sim
