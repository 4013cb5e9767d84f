#include "platform/fake/OtherWindow.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <future>
#include <thread>

namespace platform {

namespace {
constexpr UINT kBringToFront = WM_APP + 1;

LRESULT CALLBACK otherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kBringToFront) {
        ShowWindow(window, SW_SHOW);
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(window);
        SetFocus(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
} // namespace

struct OtherWindow::State {
    std::thread thread;
    std::promise<HWND> created;
    HWND window = nullptr;
    DWORD threadId = 0;
};

OtherWindow::OtherWindow() : state_(new State)
{
    State *s = state_;
    s->thread = std::thread([s] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = otherWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PitlinkTestOtherWindow";
        RegisterClassW(&windowClass);
        HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Another program", WS_OVERLAPPEDWINDOW, 0, 0,
                                      200, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
        s->threadId = GetCurrentThreadId(); // published by the promise
        s->created.set_value(window);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (window)
            DestroyWindow(window);
    });
    s->window = s->created.get_future().get();
}

OtherWindow::~OtherWindow()
{
    PostThreadMessageW(state_->threadId, WM_QUIT, 0, 0);
    state_->thread.join();
    delete state_;
}

void OtherWindow::bringToFront()
{
    if (state_->window)
        SendMessageW(state_->window, kBringToFront, 0, 0);
}

} // namespace platform

#else

namespace platform {

struct OtherWindow::State {};

OtherWindow::OtherWindow() : state_(nullptr) {}
OtherWindow::~OtherWindow() = default;
void OtherWindow::bringToFront() {}

} // namespace platform

#endif
