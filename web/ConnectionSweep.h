#pragma once
// What the dashboard's sweep does with one connection, decided from its
// phase and times alone, so the edge of every deadline can be checked
// without a socket or a clock.

#include <QtGlobal>

struct DashboardLimits;

enum class ConnectionPhase { Head, Body, Stream, Answered };

// A connection's state on the dashboard's clock (ms since it started).
struct ConnectionTimes {
    ConnectionPhase phase = ConnectionPhase::Head;
    qint64 openedMs = 0;
    qint64 firstByteMs = -1; // no byte yet
    qint64 progressMs = 0;   // the last time a write to it made progress
    qint64 sentMs = 0;       // the last state sent to a stream
};

enum class SweepAction { Keep, Close, Resend };

// `writing`: part of what was written to it has not left yet.
SweepAction sweepAction(const ConnectionTimes &c, bool writing, qint64 nowMs, const DashboardLimits &limits);
