#pragma once
// The Windows substitute's window: a thread of its own that owns a top-level
// window with the simulator's title, pumps its messages, and records the
// registered messages and keys that reach it. A low-level keyboard hook on
// the same thread records injected keys that went to another window.

#include "platform/SimulatorHost.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::win32 {

class SimulatorWindowThread {
public:
    ~SimulatorWindowThread();
    // Starts the thread; no window is shown yet. False when it cannot.
    bool start(const std::wstring &title, std::string *error);
    // Runs on the window's thread; returns once applied.
    void setWindow(SimulatorWindow state);
    std::uint32_t takeRecords(std::vector<SimulatorRecord> *records, int timeoutMs);
    void stop();

    // Called on the window's thread only.
    void record(const SimulatorRecord &record);
    void apply(SimulatorWindow state);
    void *window() const { return window_; }

private:
    void run();

    std::wstring title_;
    std::thread thread_;
    unsigned long threadId_ = 0;
    void *helper_ = nullptr; // message-only window that receives our commands
    void *window_ = nullptr; // the simulator's window; null while gone
    void *hook_ = nullptr;

    std::mutex mutex_; // guards the fields below
    std::condition_variable changed_;
    bool ready_ = false;
    bool failed_ = false;
    std::vector<SimulatorRecord> queue_;
    std::uint32_t lost_ = 0;
};

} // namespace platform::win32
