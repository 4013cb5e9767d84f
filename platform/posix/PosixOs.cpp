// The POSIX backend: the telemetry memory and the data-valid event are POSIX
// shared memory; the simulator's window, the broadcast message and injected
// keys go through the simulator substitute's control channel.

#include "platform/Platform.h"
#include "platform/posix/PulseEvent.h"
#include "platform/posix/SharedMemory.h"
#include "platform/posix/SimulatorControl.h"
#include "platform/posix/TerminationSignals.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <string>

namespace platform {

namespace {

using posix::SharedMemory;

// Well below a normal thread's 0, not quite the idle 19: a client thread
// still gets a share when the machine is busy.
constexpr int kLoweredNice = 10;

// What a mapping handle stands for: the object's name. Like a Windows mapping
// handle it exists only while the object does; the view is mapped from it.
struct PosixMapping {
    std::string name;
};

struct PosixEvent {
    SharedMemory memory;
    const posix::PulseEventBlock *block() const
    {
        return static_cast<const posix::PulseEventBlock *>(memory.data());
    }
};

// FNV-1a: a name gives the same id in every process without any shared state.
// Letters are folded, as Windows registers names without regard to case.
std::uint32_t hashName(const char *name)
{
    std::uint32_t hash = 2166136261u;
    for (const char *p = name; *p; ++p) {
        hash ^= static_cast<unsigned char>(posix::asciiLower(*p));
        hash *= 16777619u;
    }
    return hash;
}

// Registered window messages lie in this range on Windows.
constexpr std::uint32_t kFirstRegisteredMessage = 0xC000;
constexpr std::uint32_t kRegisteredMessageCount = 0x4000;

class PosixOs final : public Os {
public:
    MappingHandle openMapping(const char *name) override
    {
        const std::string object = posix::sharedMemoryName(name);
        SharedMemory probe;
        if (!probe.openExisting(object, false))
            return nullptr;
        return new PosixMapping{object};
    }

    const void *mapView(MappingHandle mapping, std::size_t *size) override
    {
        if (size)
            *size = 0;
        if (!mapping || !size)
            return nullptr;
        SharedMemory view;
        if (!view.openExisting(static_cast<PosixMapping *>(mapping)->name, false))
            return nullptr;
        // Whole pages, as a Windows view of a section: the rest of the last
        // page reads as zeros.
        const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        *size = (view.size() + page - 1) / page * page;
        // Ownership of the pages passes to the caller, who calls unmapView.
        return view.release();
    }

    void unmapView(const void *view, std::size_t size) override
    {
        SharedMemory::unmap(view, size);
    }

    void closeMapping(MappingHandle mapping) override { delete static_cast<PosixMapping *>(mapping); }

    EventHandle openEvent(const char *name) override
    {
        auto event = std::make_unique<PosixEvent>();
        if (!event->memory.openExisting(posix::sharedMemoryName(name), false) ||
            event->memory.size() < sizeof(posix::PulseEventBlock) ||
            event->block()->magic.load(std::memory_order_acquire) != posix::kPulseEventMagic)
            return nullptr;
        return event.release();
    }

    void waitEvent(EventHandle event, int timeoutMs) override
    {
        if (event)
            posix::waitForPulse(*static_cast<PosixEvent *>(event)->block(), timeoutMs);
    }

    void closeEvent(EventHandle event) override { delete static_cast<PosixEvent *>(event); }

    void sleepMs(int ms) override
    {
        if (ms <= 0)
            return;
        struct timespec remaining {ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
        while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
        }
    }

    std::int64_t nowSeconds() override { return static_cast<std::int64_t>(std::time(nullptr)); }

    WindowId findWindow(const char *title) override { return control_.findWindow(title); }
    WindowId foregroundWindow() override { return control_.foregroundWindow(); }

    std::uint32_t registerMessage(const char *name) override
    {
        if (!name || !*name)
            return 0;
        return kFirstRegisteredMessage + hashName(name) % kRegisteredMessageCount;
    }

    void broadcastMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam) override
    {
        control_.broadcast(message, wParam, lParam);
    }

    void injectKey(std::uint16_t virtualKey, bool keyUp) override { control_.key(virtualKey, keyUp); }

    // POSIX has no system-wide timer resolution to raise.
    void beginTimerResolution(unsigned) override {}
    void endTimerResolution(unsigned) override {}

    void setTerminationHandler(void (*handler)()) override { posix::watchTerminationSignals(handler); }
    void lowerCurrentThreadPriority() override
    {
        // Linux keeps a nice value per thread, and Qt's priorities act only
        // for the idle class; the id of a thread names it here alone.
#ifdef __linux__
        const id_t self = static_cast<id_t>(::syscall(SYS_gettid));
#else
        const id_t self = 0; // elsewhere the whole process
#endif
        errno = 0;
        const int now = ::getpriority(PRIO_PROCESS, self);
        if (errno == 0 && now < kLoweredNice)
            (void)::setpriority(PRIO_PROCESS, self, kLoweredNice);
    }

    bool programVersion(VersionNumbers *version) override
    {
        if (!version)
            return false;
        version->part[0] = PITLINK_VERSION_MAJOR;
        version->part[1] = PITLINK_VERSION_MINOR;
        version->part[2] = PITLINK_VERSION_PATCH;
        version->part[3] = PITLINK_VERSION_TWEAK;
        return true;
    }

private:
    posix::SimulatorControlClient control_;
};

} // namespace

Os &systemOs()
{
    static PosixOs instance;
    return instance;
}

} // namespace platform
