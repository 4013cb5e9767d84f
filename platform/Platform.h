#pragma once
// The operating-system layer. Nothing outside platform/ includes an OS header:
// everything the program needs of Windows (or of the simulator substitute on
// POSIX) goes through the interface below. Every call may come from any thread.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Opaque handles. A null handle means "none".
using MappingHandle = void *;
using EventHandle = void *;
// A top-level window; 0 means "no window". Only equality matters.
using WindowId = std::uintptr_t;

struct VersionNumbers {
    unsigned part[4] = {0, 0, 0, 0};
};

class Os {
public:
    virtual ~Os() = default;

    // Telemetry memory: a named, read-only file mapping.
    virtual MappingHandle openMapping(const char *name) = 0;
    // Maps the whole mapping read-only; sets *size to the mapped byte count.
    // Returns null on failure.
    virtual const void *mapView(MappingHandle mapping, std::size_t *size) = 0;
    virtual void unmapView(const void *view, std::size_t size) = 0;
    virtual void closeMapping(MappingHandle mapping) = 0;

    // The data-valid event. It behaves like a pulsed event: a wait returns
    // when a sample is announced after the wait began, or at the time-out.
    virtual EventHandle openEvent(const char *name) = 0;
    virtual void waitEvent(EventHandle event, int timeoutMs) = 0;
    virtual void closeEvent(EventHandle event) = 0;

    virtual void sleepMs(int ms) = 0;
    // Wall clock, whole seconds since the epoch.
    virtual std::int64_t nowSeconds() = 0;

    // Top-level window whose title equals `title` (UTF-8), or 0.
    virtual WindowId findWindow(const char *title) = 0;
    // Window that receives keyboard input now, or 0.
    virtual WindowId foregroundWindow() = 0;

    // Registered window message: the same id in every process for one name;
    // 0 on failure.
    virtual std::uint32_t registerMessage(const char *name) = 0;
    // Fire-and-forget broadcast to every top-level window.
    virtual void broadcastMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam) = 0;

    // One synthetic key event for a virtual-key code, delivered to the window
    // that has the keyboard focus.
    virtual void injectKey(std::uint16_t virtualKey, bool keyUp) = 0;

    // System timer resolution (does nothing where the system has no such
    // setting).
    virtual void beginTimerResolution(unsigned ms) = 0;
    virtual void endTimerResolution(unsigned ms) = 0;

    // The program's own version numbers; false when there is no version data.
    virtual bool programVersion(VersionNumbers *version) = 0;

    // Runs `handler` on a thread of the layer's own when the user or the
    // system asks the program to end (Ctrl+C, a termination request), once;
    // a second request ends the process the system's way. The handler may
    // only hand work to the program's own threads.
    virtual void setTerminationHandler(void (*handler)()) = 0;

    // Runs the calling thread below normal priority from now on, so the
    // threads that serve the network yield to the GUI thread and to the
    // simulator. Best effort: a system that refuses leaves it as it was.
    virtual void lowerCurrentThreadPriority() = 0;
};

// The backend in use: the one compiled for this system unless a test has
// installed another.
Os &os();

// os().lowerCurrentThreadPriority(), for the start of a thread's work.
void lowerCurrentThreadPriority();

// Test seam: installs `replacement` (not owned; null restores the system
// backend). Call it only while no other thread uses the layer.
void setOs(Os *replacement);

// The backend compiled for this system (posix/ or win32/).
Os &systemOs();

} // namespace platform
