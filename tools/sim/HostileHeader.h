#pragma once
// Header values that a simulator re-initialising its header in place leaves
// for a moment, or that a hostile program writes: zero, negative and huge
// counts, offsets and sizes, offsets past the block or not a multiple of 4,
// and shapes that pass a reader's checks but describe the wrong bytes. The
// connected bit stays set, and the buffers' tick counts move on, so readers
// keep trying to read through them. Only the header is written; the caller
// keeps a copy of the valid one to put back.

#include "tools/sim/TelemetryImageWriter.h"

#include <chrono>

namespace sim {

constexpr std::chrono::milliseconds kHostileHeaderTime{500};

// Bytes of the header as the writer lays it out, the buffer table included.
constexpr std::size_t kHeaderBytes = sizeof(telemetry::TelemetryHeader);

// Writes the `step`th hostile header (steps cycle through every pattern).
void writeHostileHeader(TelemetryImageWriter &writer, int step);

} // namespace sim
