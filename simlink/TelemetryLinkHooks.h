#pragma once
// Test seam of the telemetry link: a function called right after each copy
// of a sample and before its tick count is read again, so a test can play a
// simulator that rewrites the buffer during the copy. Null (no call) unless
// a test installs one.

using TelemetryCopyHook = void (*)(void *context);
void setTelemetryCopyHook(TelemetryCopyHook hook, void *context);
