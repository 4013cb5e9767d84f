#pragma once
// How long a client thread may wait on its socket before it looks again,
// whether the client ran out of time, and which idle client makes room at
// the cap, decided from the clients' times and the clock alone, so the edge
// of each deadline can be checked without a socket or a clock.

#include <QVector>
#include <QtGlobal>

struct ServerLimits;

// A client thread's state, on steadyMs()'s clock.
struct ClientWaitState {
    bool repliesWaiting = false; // not all written; the last byte left at progressFromMs
    qint64 progressFromMs = 0;
    bool held = false;           // a frame waits for its slot at heldUntilMs
    qint64 heldUntilMs = 0;
    bool paused = false;         // replies above the bound: requests wait
    bool midFrame = false;       // part of a frame is in; its newest byte came at stallFromMs
    qint64 stallFromMs = 0;
};

enum class ClientTimeOut { None, NotReading, Stalled };

// The wait in ms, or 0 with the time-out the client ran into.
int nextClientWaitMs(const ClientWaitState &s, qint64 nowMs, const ServerLimits &limits, ClientTimeOut *timedOut);

// Of the clients' last-received times, the index of the one silent for
// longest, when that is at least `idleEvictMs`; else -1.
int idleClientToEvict(const QVector<qint64> &lastReceivedMs, qint64 nowMs, int idleEvictMs);
