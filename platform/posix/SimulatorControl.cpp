#include "platform/posix/SimulatorControl.h"

#include "platform/posix/PulseEvent.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace platform::posix {

namespace {

bool processAlive(std::int32_t pid)
{
    if (pid <= 0)
        return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

bool blockUsable(const SharedMemory &memory)
{
    if (!memory.isOpen() || memory.size() < sizeof(ControlBlock))
        return false;
    const auto *block = static_cast<const ControlBlock *>(memory.data());
    return block->magic.load(std::memory_order_acquire) == kControlMagic &&
           block->blockSize == sizeof(ControlBlock);
}

// Windows matches window titles without regard to case; so do we, for the
// ASCII letters. The stored title is NUL-terminated within its field.
bool sameTitle(const char *stored, const char *title)
{
    std::size_t i = 0;
    for (; i < kWindowTitleSize && stored[i] && title[i]; ++i) {
        if (asciiLower(stored[i]) != asciiLower(title[i]))
            return false;
    }
    return i < kWindowTitleSize && stored[i] == title[i];
}

class BlockLock {
public:
    explicit BlockLock(ControlBlock *block) : block_(block && lockRobust(&block->lock) ? block : nullptr) {}
    ~BlockLock()
    {
        if (block_)
            pthread_mutex_unlock(&block_->lock);
    }
    BlockLock(const BlockLock &) = delete;
    BlockLock &operator=(const BlockLock &) = delete;
    explicit operator bool() const { return block_ != nullptr; }

private:
    ControlBlock *block_;
};

} // namespace

bool lockRobust(pthread_mutex_t *mutex)
{
    const int result = pthread_mutex_lock(mutex);
    if (result == EOWNERDEAD)
        return pthread_mutex_consistent(mutex) == 0;
    return result == 0;
}

ControlBlock *SimulatorControlClient::lockLiveBlock()
{
    if (!blockUsable(memory_)) {
        memory_.openExisting(kSimulatorControlName, true);
        if (!blockUsable(memory_)) {
            memory_.close();
            return nullptr;
        }
    }
    auto *block = static_cast<ControlBlock *>(memory_.data());
    if (!lockRobust(&block->lock))
        return nullptr;
    if (!processAlive(block->ownerPid)) {
        pthread_mutex_unlock(&block->lock);
        // A later substitute may have made a new block under the same name.
        memory_.close();
        return nullptr;
    }
    return block;
}

WindowId SimulatorControlClient::findWindow(const char *title)
{
    if (!title)
        return 0;
    std::lock_guard<std::mutex> guard(mutex_);
    ControlBlock *block = lockLiveBlock();
    if (!block)
        return 0;
    WindowId id = 0;
    if (block->windowState != WindowState::Gone &&
        sameTitle(block->windowTitle, title))
        id = block->windowId;
    pthread_mutex_unlock(&block->lock);
    return id;
}

WindowId SimulatorControlClient::foregroundWindow()
{
    std::lock_guard<std::mutex> guard(mutex_);
    ControlBlock *block = lockLiveBlock();
    if (!block)
        return 0;
    const WindowId id = block->windowState == WindowState::Front ? block->windowId : kOtherWindowId;
    pthread_mutex_unlock(&block->lock);
    return id;
}

void SimulatorControlClient::broadcast(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam)
{
    ControlRecord record{};
    record.kind = RecordKind::Broadcast;
    record.message = message;
    record.wParam = wParam;
    record.lParam = lParam;
    append(record);
}

void SimulatorControlClient::key(std::uint16_t virtualKey, bool keyUp)
{
    ControlRecord record{};
    record.kind = RecordKind::Key;
    record.keyCode = virtualKey;
    record.keyUp = keyUp ? 1 : 0;
    append(record);
}

void SimulatorControlClient::append(const ControlRecord &record)
{
    std::lock_guard<std::mutex> guard(mutex_);
    ControlBlock *block = lockLiveBlock();
    if (!block)
        return;
    // Decided under the block's lock, so the record is judged by the window
    // state the substitute had when it was sent.
    ControlRecord recorded = record;
    recorded.toSimulator = block->windowState == WindowState::Front ? 1 : 0;
    // A broadcast reaches the window while it exists; a key reaches some
    // program always.
    const bool reaches = record.kind == RecordKind::Key || block->windowState != WindowState::Gone;
    if (reaches) {
        const std::uint32_t written = block->written.load(std::memory_order_relaxed);
        if (written - block->consumed < kControlRingCapacity) {
            block->ring[written % kControlRingCapacity] = recorded;
            block->written.store(written + 1, std::memory_order_release);
            wakeAll(block->written);
        } else {
            ++block->dropped;
        }
    }
    pthread_mutex_unlock(&block->lock);
}

SimulatorControlHost::~SimulatorControlHost() { close(); }

bool SimulatorControlHost::open(const char *windowTitle, std::string *error)
{
    auto fail = [error](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    bool created = false;
    if (!memory_.openOrCreate(kSimulatorControlName, sizeof(ControlBlock), &created))
        return fail("cannot create the control block " + std::string(kSimulatorControlName));
    if (!created && !blockUsable(memory_)) {
        // Left by a build with another layout: nobody can use it any more.
        memory_.close();
        SharedMemory::unlink(kSimulatorControlName);
        if (!memory_.openOrCreate(kSimulatorControlName, sizeof(ControlBlock), &created) || !created)
            return fail("cannot recreate the control block " + std::string(kSimulatorControlName));
    }
    ControlBlock *b = block();
    if (created) {
        std::memset(static_cast<void *>(b), 0, sizeof(ControlBlock));
        pthread_mutexattr_t attr;
        pthread_mutexattr_init(&attr);
        pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
        pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
        const int initResult = pthread_mutex_init(&b->lock, &attr);
        pthread_mutexattr_destroy(&attr);
        if (initResult != 0) {
            memory_.close();
            return fail("cannot initialise the control block's lock");
        }
        b->blockSize = sizeof(ControlBlock);
        b->magic.store(kControlMagic, std::memory_order_release);
    }
    if (!lockRobust(&b->lock)) {
        memory_.close();
        return fail("cannot lock the control block");
    }
    const std::int32_t previous = b->ownerPid;
    if (previous != ::getpid() && processAlive(previous)) {
        pthread_mutex_unlock(&b->lock);
        memory_.close();
        return fail("another simulator substitute is running (pid " + std::to_string(previous) + ")");
    }
    b->ownerPid = ::getpid();
    b->windowState = WindowState::Gone;
    std::memset(b->windowTitle, 0, kWindowTitleSize);
    if (windowTitle)
        std::strncpy(b->windowTitle, windowTitle, kWindowTitleSize - 1);
    // Records left from an earlier owner were meant for it.
    b->consumed = b->written.load(std::memory_order_relaxed);
    b->dropped = 0;
    pthread_mutex_unlock(&b->lock);
    return true;
}

void SimulatorControlHost::setWindow(WindowState state)
{
    BlockLock lock(memory_.isOpen() ? block() : nullptr);
    if (!lock)
        return;
    ControlBlock *b = block();
    if (b->windowState == WindowState::Gone && state != WindowState::Gone) {
        // A window that reappears is a new window with a new id.
        ++b->windowGeneration;
        b->windowId = kFirstSimulatorWindowId + 2 * b->windowGeneration;
    }
    b->windowState = state;
}

WindowState SimulatorControlHost::window()
{
    BlockLock lock(memory_.isOpen() ? block() : nullptr);
    return lock ? block()->windowState : WindowState::Gone;
}

std::uint32_t SimulatorControlHost::takeRecords(std::vector<ControlRecord> *records, int timeoutMs)
{
    if (!memory_.isOpen())
        return 0;
    ControlBlock *b = block();
    std::uint32_t consumed;
    {
        BlockLock lock(b);
        if (!lock)
            return 0;
        consumed = b->consumed;
    }
    // Only this process advances `consumed`, so it cannot change meanwhile.
    waitForChange(b->written, consumed, timeoutMs);
    BlockLock lock(b);
    if (!lock)
        return 0;
    const std::uint32_t written = b->written.load(std::memory_order_acquire);
    for (std::uint32_t i = b->consumed; i != written; ++i)
        records->push_back(b->ring[i % kControlRingCapacity]);
    b->consumed = written;
    return std::exchange(b->dropped, 0u);
}

void SimulatorControlHost::close()
{
    if (!memory_.isOpen())
        return;
    {
        BlockLock lock(block());
        if (lock && block()->ownerPid == ::getpid()) {
            block()->windowState = WindowState::Gone;
            block()->ownerPid = 0;
        }
    }
    memory_.close();
}

} // namespace platform::posix
