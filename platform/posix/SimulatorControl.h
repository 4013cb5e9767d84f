#pragma once
// The control channel between the POSIX backend and the simulator substitute.
// On Windows the program finds the simulator's window, broadcasts window
// messages and injects keys through the system; on POSIX the substitute
// publishes its window in a small shared-memory block and the backend appends
// what it "sends" to a ring in the same block, which the substitute drains.
//
// The block is never unlinked by its owner, so every process that has mapped
// it keeps talking to the same object across restarts of the substitute.

#include "platform/Platform.h"
#include "platform/posix/SharedMemory.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace platform::posix {

constexpr const char *kSimulatorControlName = "/pitlink-sim-control";
constexpr std::uint32_t kControlMagic = 0x314c5443; // "CTL1"
constexpr std::uint32_t kControlRingCapacity = 1024;
constexpr std::size_t kWindowTitleSize = 128;
// Window ids the backend hands out: the substitute's window gets a fresh even
// id each time it appears; every other window in front is kOtherWindowId.
constexpr WindowId kOtherWindowId = 0x10001;
constexpr WindowId kFirstSimulatorWindowId = 0x20000;

enum class WindowState : std::uint32_t { Gone = 0, Front = 1, Behind = 2 };
enum class RecordKind : std::uint32_t { Broadcast = 1, Key = 2 };

struct ControlRecord {
    RecordKind kind;
    std::uint32_t message; // broadcast: registered message id
    std::uint64_t wParam;
    std::int64_t lParam;
    std::uint32_t keyCode; // key: virtual-key code
    std::uint32_t keyUp;   // key: 1 for key up, 0 for key down
    std::uint32_t toSimulator; // key: 1 when the substitute's window was in front
};

struct ControlBlock {
    std::atomic<std::uint32_t> magic; // set last, once the block is usable
    std::uint32_t blockSize;
    // Process-shared and robust: a process that dies holding it does not
    // block the others. Guards the title, the window fields and the ring.
    pthread_mutex_t lock;
    std::int32_t ownerPid; // the substitute's process, 0 when none
    WindowState windowState;
    std::uint64_t windowId;
    std::uint64_t windowGeneration;
    char windowTitle[kWindowTitleSize];
    std::atomic<std::uint32_t> written; // records appended; the substitute waits on it
    std::uint32_t consumed;             // records taken by the substitute
    std::uint32_t dropped;              // records lost because the ring was full
    ControlRecord ring[kControlRingCapacity];
};

// ASCII letters folded to lower case, every other byte as it is: window titles
// and registered message names compare without regard to case, as on Windows.
constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Locks a robust process-shared mutex, repairing it when its owner died.
bool lockRobust(pthread_mutex_t *mutex);

// The backend's side. Thread-safe; every call tolerates a missing block or a
// substitute that is gone.
class SimulatorControlClient {
public:
    // The substitute's window when its title equals `title` (ASCII letters in
    // any case) and it is shown.
    WindowId findWindow(const char *title);
    // The substitute's window while it is in front, kOtherWindowId while it is
    // behind or hidden, 0 when there is no substitute.
    WindowId foregroundWindow();
    // A broadcast reaches the substitute while its window exists.
    void broadcast(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam);
    // A key reaches the substitute while its window is in front and goes to
    // another program otherwise; the substitute records it either way, so a
    // key typed into another program can be seen.
    void key(std::uint16_t virtualKey, bool keyUp);

private:
    // Maps the block and locks it when a live substitute owns it. Called
    // with mutex_ held.
    ControlBlock *lockLiveBlock();
    void append(const ControlRecord &record);

    std::mutex mutex_; // guards memory_; held for each whole call
    SharedMemory memory_;
};

// The substitute's side.
class SimulatorControlHost {
public:
    ~SimulatorControlHost();
    // Creates or takes over the block and shows no window yet. False, with a
    // reason, when it cannot be made or another live substitute owns it.
    bool open(const char *windowTitle, std::string *error);
    void setWindow(WindowState state);
    WindowState window();
    // Appends the records that arrived, waiting up to `timeoutMs` for the
    // first. Returns how many records were lost to a full ring since the last
    // call.
    std::uint32_t takeRecords(std::vector<ControlRecord> *records, int timeoutMs);
    // Hides the window and gives up ownership; the block stays.
    void close();

private:
    ControlBlock *block() const { return static_cast<ControlBlock *>(memory_.data()); }
    SharedMemory memory_;
};

} // namespace platform::posix
