#pragma once
// The server's copy of the race data snapshot, shared between the GUI thread
// (which overwrites it at each telemetry tick) and the client threads (which
// read it for the data messages). One lock guards it; it is held only to swap
// a record in or to copy it out, never while JSON is built. Copies are cheap:
// strings and sequences are shared until written. A standard mutex rather
// than QMutex, so that ThreadSanitizer sees the lock.

#include "model/irVariables.h"

#include <mutex>

class SnapshotStore {
public:
    void set(const irVariables &vars);
    irVariables copy() const;

private:
    mutable std::mutex lock_; // guards vars_
    irVariables vars_;
};
