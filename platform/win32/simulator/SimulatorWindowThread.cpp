#include "platform/win32/simulator/SimulatorWindowThread.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <chrono>
#include <utility>

namespace platform::win32 {

namespace {

constexpr std::size_t kRecordCapacity = 1024;
constexpr UINT kSetWindowMessage = WM_APP + 1;
constexpr UINT kFirstRegisteredMessage = 0xC000;
constexpr UINT kLastRegisteredMessage = 0xFFFF;
constexpr const wchar_t *kWindowClass = L"PitlinkSimulatorWindow";
constexpr const wchar_t *kHelperClass = L"PitlinkSimulatorCommands";
constexpr int kWindowSize = 320;

// The low-level hook has no context pointer; one substitute per process.
std::atomic<SimulatorWindowThread *> hookOwner{nullptr};

SimulatorWindowThread *ownerOf(HWND window)
{
    return reinterpret_cast<SimulatorWindowThread *>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK simulatorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    SimulatorWindowThread *owner = ownerOf(window);
    if (owner) {
        SimulatorRecord record;
        switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            record.kind = SimulatorRecord::Kind::Key;
            record.keyCode = static_cast<std::uint32_t>(wParam);
            record.keyUp = message == WM_KEYUP || message == WM_SYSKEYUP;
            owner->record(record);
            return 0;
        case WM_CLOSE:
            return 0; // only the substitute's commands take the window away
        default:
            if (message >= kFirstRegisteredMessage && message <= kLastRegisteredMessage) {
                record.kind = SimulatorRecord::Kind::Broadcast;
                record.message = message;
                record.wParam = static_cast<std::uint64_t>(wParam);
                record.lParam = static_cast<std::int64_t>(lParam);
                owner->record(record);
                return 0;
            }
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK helperWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (message == kSetWindowMessage) {
        if (SimulatorWindowThread *owner = ownerOf(window))
            owner->apply(static_cast<SimulatorWindow>(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Injected keys that go to a window other than the simulator's: the window
// procedure sees the others.
LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam)
{
    SimulatorWindowThread *owner = hookOwner.load();
    if (code == HC_ACTION && owner) {
        const auto *key = reinterpret_cast<const KBDLLHOOKSTRUCT *>(lParam);
        const HWND front = GetForegroundWindow();
        if ((key->flags & LLKHF_INJECTED) && (!owner->window() || front != static_cast<HWND>(owner->window()))) {
            SimulatorRecord record;
            record.kind = SimulatorRecord::Kind::Key;
            record.keyCode = key->vkCode;
            record.keyUp = wParam == WM_KEYUP || wParam == WM_SYSKEYUP;
            record.toSimulator = false;
            owner->record(record);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

SimulatorWindowThread::~SimulatorWindowThread() { stop(); }

bool SimulatorWindowThread::start(const std::wstring &title, std::string *error)
{
    title_ = title;
    thread_ = std::thread([this] { run(); });
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ready_ || failed_; });
    if (failed_) {
        lock.unlock();
        thread_.join();
        if (error)
            *error = "cannot create the simulator's window";
        return false;
    }
    return true;
}

void SimulatorWindowThread::run()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = simulatorWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    WNDCLASSW helperClass{};
    helperClass.lpfnWndProc = helperWindowProc;
    helperClass.hInstance = instance;
    helperClass.lpszClassName = kHelperClass;
    RegisterClassW(&windowClass);
    RegisterClassW(&helperClass);
    HWND helper = CreateWindowExW(0, kHelperClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
    SimulatorWindowThread *expected = nullptr;
    const bool hookFree = hookOwner.compare_exchange_strong(expected, this);
    HHOOK hook = hookFree ? SetWindowsHookExW(WH_KEYBOARD_LL, keyboardHook, instance, 0) : nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        helper_ = helper;
        hook_ = hook;
        threadId_ = GetCurrentThreadId();
        (helper ? ready_ : failed_) = true;
    }
    changed_.notify_all();
    if (!helper) {
        if (hookFree)
            hookOwner.store(nullptr);
        return;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    apply(SimulatorWindow::Gone);
    if (hook)
        UnhookWindowsHookEx(hook);
    if (hookFree)
        hookOwner.store(nullptr);
    DestroyWindow(helper);
}

void SimulatorWindowThread::apply(SimulatorWindow state)
{
    HWND window = static_cast<HWND>(window_);
    if (state == SimulatorWindow::Gone) {
        if (window)
            DestroyWindow(window);
        window_ = nullptr;
        return;
    }
    if (!window) {
        window = CreateWindowExW(0, kWindowClass, title_.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 kWindowSize, kWindowSize, nullptr, nullptr, GetModuleHandleW(nullptr), this);
        window_ = window;
        if (!window)
            return;
    }
    if (state == SimulatorWindow::Front) {
        ShowWindow(window, SW_SHOW);
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(window);
        SetFocus(window);
    } else {
        ShowWindow(window, SW_SHOWNOACTIVATE);
        SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void SimulatorWindowThread::setWindow(SimulatorWindow state)
{
    if (helper_)
        SendMessageW(static_cast<HWND>(helper_), kSetWindowMessage, static_cast<WPARAM>(state), 0);
}

void SimulatorWindowThread::record(const SimulatorRecord &record)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() < kRecordCapacity)
            queue_.push_back(record);
        else
            ++lost_;
    }
    changed_.notify_all();
}

std::uint32_t SimulatorWindowThread::takeRecords(std::vector<SimulatorRecord> *records, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0),
                      [this] { return !queue_.empty(); });
    records->insert(records->end(), queue_.begin(), queue_.end());
    queue_.clear();
    return std::exchange(lost_, 0u);
}

void SimulatorWindowThread::stop()
{
    if (!thread_.joinable())
        return;
    if (threadId_)
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    helper_ = nullptr;
}

} // namespace platform::win32
