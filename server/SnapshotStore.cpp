#include "server/SnapshotStore.h"

#include "server/CommandHandler.h"

#include <utility>

namespace {

enum TextIndex { kTelemetryText, kSessionText };

PrebuiltTexts::Builder dataTextBuilder(int command)
{
    return [command](const irVariables &vars) {
        return dataMessageText(command, vars).toUtf8();
    };
}

} // namespace

SnapshotStore::SnapshotStore()
    : texts_({dataTextBuilder(kCommandTelemetry), dataTextBuilder(kCommandSession)})
{
}

void SnapshotStore::set(const irVariables &vars)
{
    texts_.rebuild(vars);
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

QByteArray SnapshotStore::dataText(int command) const
{
    return texts_.text(command == kCommandTelemetry ? kTelemetryText : kSessionText);
}
