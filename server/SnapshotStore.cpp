#include "server/SnapshotStore.h"

#include <utility>

void SnapshotStore::set(const irVariables &vars)
{
    irVariables fresh(vars);
    {
        std::lock_guard<std::mutex> locker(lock_);
        std::swap(vars_, fresh);
    }
    // The old record is released here, outside the lock.
}

irVariables SnapshotStore::copy() const
{
    std::lock_guard<std::mutex> locker(lock_);
    return vars_;
}
