// The Windows substitute's system side: a named section and a manual-reset
// event as the simulator creates them, its window on a thread of its own,
// standard input read on another thread, and Ctrl+C as the stop request.

#include "platform/SimulatorHost.h"
#include "platform/win32/simulator/SimulatorWindowThread.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/win32/WideText.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace platform {

namespace {

// Bytes standard input may hold back before the reader waits for the loop.
constexpr std::size_t kMaxPendingInput = 1 << 20;

constexpr const wchar_t *kInstanceMutexName = L"Local\\PitlinkSimulatorSubstitute";

std::atomic<bool> stopFlag{false};

BOOL WINAPI onConsoleControl(DWORD)
{
    stopFlag = true;
    return TRUE;
}

std::string lastError(const std::string &what)
{
    return what + " (error " + std::to_string(GetLastError()) + ")";
}

// Standard input is read on a thread of its own: a pipe or console cannot be
// waited on with a time-out the way the loop needs.
class InputReader {
public:
    void start()
    {
        std::thread([this] { run(); }).detach(); // blocked in ReadFile until the process ends
    }
    bool take(std::string *bytes)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        bytes->append(pending_);
        pending_.clear();
        return !ended_;
    }

private:
    void run()
    {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        char chunk[4096];
        for (;;) {
            DWORD got = 0;
            if (!input || input == INVALID_HANDLE_VALUE || !ReadFile(input, chunk, sizeof chunk, &got, nullptr) ||
                got == 0)
                break;
            for (;;) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (pending_.size() < kMaxPendingInput) {
                        pending_.append(chunk, got);
                        break;
                    }
                }
                Sleep(10);
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }

    std::mutex mutex_; // guards pending_ and ended_
    std::string pending_;
    bool ended_ = false;
};

class Win32SimulatorHost final : public SimulatorHost {
public:
    Win32SimulatorHost()
    {
        SetConsoleCtrlHandler(onConsoleControl, TRUE);
        input_ = new InputReader; // lives as long as its detached thread: the process
        input_->start();
    }
    ~Win32SimulatorHost() override
    {
        close();
        if (view_)
            UnmapViewOfFile(view_);
        if (section_)
            CloseHandle(section_);
        if (event_)
            CloseHandle(event_);
        if (instance_)
            CloseHandle(instance_);
    }

    bool open(const char *mappingName, const char *eventName, std::size_t size, const char *windowTitle,
              std::string *error) override
    {
        auto fail = [error](const std::string &why) {
            if (error)
                *error = why;
            return false;
        };
        // One substitute at a time, as on POSIX: a second one would publish
        // into the same section. The system drops the mutex with its owner.
        instance_ = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
        if (!instance_ || GetLastError() == ERROR_ALREADY_EXISTS)
            return fail("another simulator substitute is running");
        const std::wstring sectionName = widen(mappingName);
        const std::uint64_t wanted = size;
        // An existing section (a reader keeps it across our restarts) keeps
        // its size; the view then covers all of it.
        section_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                      static_cast<DWORD>(wanted >> 32), static_cast<DWORD>(wanted), sectionName.c_str());
        if (!section_)
            return fail(lastError("cannot create the telemetry section " + std::string(mappingName)));
        view_ = MapViewOfFile(section_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        MEMORY_BASIC_INFORMATION info{};
        if (!view_ || VirtualQuery(view_, &info, sizeof info) == 0)
            return fail(lastError("cannot map the telemetry section"));
        size_ = info.RegionSize;
        if (size_ < size)
            return fail("the telemetry section left by another process is too small");
        // Manual reset: set and reset around each sample releases exactly
        // the readers waiting at that moment.
        event_ = CreateEventW(nullptr, TRUE, FALSE, widen(eventName).c_str());
        if (!event_)
            return fail(lastError("cannot create the data-valid event " + std::string(eventName)));
        ResetEvent(event_);
        return window_.start(widen(windowTitle), error);
    }

    unsigned char *memory() const override { return static_cast<unsigned char *>(view_); }
    std::size_t size() const override { return size_; }

    void announceSample() override
    {
        if (event_) {
            SetEvent(event_);
            ResetEvent(event_);
        }
    }

    void setWindow(SimulatorWindow state) override { window_.setWindow(state); }

    std::uint32_t takeRecords(std::vector<SimulatorRecord> *records, int timeoutMs) override
    {
        return window_.takeRecords(records, timeoutMs);
    }

    void close() override { window_.stop(); }

    bool readInput(std::string *bytes) override { return input_->take(bytes); }
    bool stopRequested() override { return stopFlag.load(); }

private:
    HANDLE instance_ = nullptr;
    HANDLE section_ = nullptr;
    void *view_ = nullptr;
    std::size_t size_ = 0;
    HANDLE event_ = nullptr;
    win32::SimulatorWindowThread window_;
    InputReader *input_ = nullptr;
};

} // namespace

std::unique_ptr<SimulatorHost> makeSimulatorHost() { return std::make_unique<Win32SimulatorHost>(); }

} // namespace platform
