#pragma once
// The process-wide link to the simulator's telemetry memory: open, close,
// the alive test, taking the newest sample with a torn-read check, and a
// bounded wait. Used on the GUI thread only; nothing here locks.

#include "simlink/TelemetryLayout.h"

#include <cstddef>

bool telemetryOpen();
void telemetryClose();

// The header while the link is open, else null.
const telemetry::TelemetryHeader *telemetryHeader();
// Start of the session-info text while open, else null.
const char *telemetrySessionText();
// Bytes from the session-info text's start to the end of the mapping
// (0 while closed): no scan of the text may go past it.
std::size_t telemetrySessionTextLimit();
// Descriptor of variable `index`, or null (closed, out of range).
const telemetry::TelemetryVarHeader *telemetryVarHeader(int index);
// Index of the first variable named `name` (up to 32 characters), or -1.
int telemetryVarIndex(const char *name);

bool telemetryAlive();
// Copies the newest sample into `dst` (sized `dstSize` bytes) when it is new.
// A null `dst` takes the sample without copying.
bool telemetryFetch(void *dst, std::size_t dstSize);
bool telemetryWait(int timeoutMs, void *dst, std::size_t dstSize);
