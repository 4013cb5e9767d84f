#pragma once
// SIGINT and SIGTERM turned into a call on an ordinary thread, where the
// program can ask its GUI thread to close down properly.

namespace platform {
namespace posix {

// The first signal calls `handler` on a watcher thread and puts the default
// dispositions back, so a second one ends the process at once.
void watchTerminationSignals(void (*handler)());

} // namespace posix
} // namespace platform
