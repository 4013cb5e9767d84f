#pragma once
// The server's copy of the race data snapshot, shared between the GUI thread
// (which overwrites it at each telemetry tick) and the client threads (which
// answer the data requests from it). Each overwrite also builds the reply
// texts of 207 and 208 once, outside the locks, so a client thread only takes
// the finished bytes. Locks are held only to swap or copy, never while JSON
// is built. Standard mutexes rather than QMutex, so ThreadSanitizer sees them.

#include "model/irVariables.h"
#include "server/PrebuiltTexts.h"

#include <QByteArray>

#include <mutex>

class SnapshotStore {
public:
    SnapshotStore();

    void set(const irVariables &vars);
    irVariables copy() const;
    // The UTF-8 reply text of 207 or 208 for the current record.
    QByteArray dataText(int command) const;

private:
    mutable std::mutex lock_; // guards vars_
    irVariables vars_;
    PrebuiltTexts texts_;
};
