#pragma once
// A fault for tests of the torn-read check: the staging sample is written
// over the newest ring buffer, the one readers copy, instead of the next one.

#include "tools/sim/TelemetryImageWriter.h"

#include <functional>

namespace sim {

constexpr int kTornPieces = 4;

// Rewrites the newest buffer in `pieces` parts. Its tick count moves on
// before the first part and again after the last, so a reader whose copy
// overlaps the rewrite reads a different count afterwards and drops the
// copy. `afterPiece` (may be empty) runs after each part. Returns the
// buffer index written.
int publishInPlace(TelemetryImageWriter &writer, int pieces = kTornPieces,
                   const std::function<void(int piece)> &afterPiece = {});

} // namespace sim
