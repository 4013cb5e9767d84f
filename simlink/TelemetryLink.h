#pragma once
// The process-wide link to the simulator's telemetry memory: open, close,
// the alive test, taking the newest sample with a torn-read check, and a
// bounded wait. Used on the GUI thread only; nothing here locks.
//
// Another process writes the block at any moment, the header included. Every
// operation copies the header fields it needs once, checks that copy against
// the mapping and derives its pointers from the copy only; descriptors are
// handed out as copies, never as pointers into the block.

#include "simlink/TelemetryLayout.h"

#include <cstddef>
#include <cstdint>

bool telemetryOpen();
void telemetryClose();

// One copy of the header fields the link uses, checked against the mapping.
struct TelemetryHeaderFields {
    std::int32_t statusFlags;
    std::int32_t sessionTextOffset;
    std::int32_t variableCount;
    std::int32_t variableTableOffset;
    std::int32_t bufferCount;
    std::int32_t bufferSize;
};
// False while closed or when the header does not fit the mapping.
bool telemetryHeaderFields(TelemetryHeaderFields *out);

// Start of the session-info text while open, else null; *limit is set to the
// bytes from there to the end of the mapping (0 when null): no scan of the
// text may go past it. Both come from one copy of the header.
const char *telemetrySessionText(std::size_t *limit);
// Copies the descriptor of variable `index`; false when closed or out of range.
bool telemetryVarHeader(int index, telemetry::TelemetryVarHeader *out);
// Index of the first variable named `name` (up to 32 characters), or -1.
int telemetryVarIndex(const char *name);

bool telemetryAlive();

// What a fetch took: the sample's tick count and the buffer size of the
// header copy it was taken with (what a full copy needs).
struct TelemetrySampleTaken {
    std::int32_t tick = telemetry::kNoTick;
    std::int32_t bufferSize = 0;
};
// Copies the newest sample into `dst` (sized `dstSize` bytes) when it is new.
// A null `dst` takes the sample without copying. `taken` (optional) is filled
// when the result is true.
bool telemetryFetch(void *dst, std::size_t dstSize, TelemetrySampleTaken *taken = nullptr);
bool telemetryWait(int timeoutMs, void *dst, std::size_t dstSize, TelemetrySampleTaken *taken = nullptr);
