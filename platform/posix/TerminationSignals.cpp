#include "platform/posix/TerminationSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace platform {
namespace posix {

namespace {

int wakePipe[2] = {-1, -1};
std::atomic<void (*)()> currentHandler{nullptr};

extern "C" void onTerminationSignal(int)
{
    // Only async-signal-safe work here: one byte into the pipe.
    const int saved = errno;
    const char byte = 1;
    if (::write(wakePipe[1], &byte, 1) < 0) {
        // Nothing else can be done inside a signal handler.
    }
    errno = saved;
}

void watch()
{
    char byte = 0;
    for (;;) {
        const ssize_t n = ::read(wakePipe[0], &byte, 1);
        if (n == 1)
            break;
        if (n < 0 && errno == EINTR)
            continue;
        return; // the pipe is gone
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (void (*handler)() = currentHandler.load())
        handler();
}

} // namespace

void watchTerminationSignals(void (*handler)())
{
    currentHandler = handler;
    static const bool installed = [] {
        if (::pipe(wakePipe) != 0)
            return false;
        struct sigaction action = {};
        action.sa_handler = onTerminationSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        // Blocked in read() for the rest of the process's life.
        std::thread(watch).detach();
        return true;
    }();
    (void)installed;
}

} // namespace posix
} // namespace platform
