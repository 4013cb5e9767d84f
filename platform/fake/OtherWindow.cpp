#include "platform/fake/OtherWindow.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <future>

namespace platform {

namespace {
constexpr UINT kBringToFront = WM_APP + 1;

LRESULT CALLBACK otherWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kBringToFront)
        return DefWindowProcW(window, message, wParam, lParam);
    ShowWindow(window, SW_SHOW);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
    SetFocus(window);
    return 0;
}
} // namespace

OtherWindow::OtherWindow()
{
    std::promise<HWND> created;
    std::future<HWND> window = created.get_future();
    thread_ = std::thread([this, created = std::move(created)]() mutable {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = otherWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PitlinkTestOtherWindow";
        RegisterClassW(&windowClass);
        HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Another program", WS_OVERLAPPEDWINDOW, 0, 0,
                                      200, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
        threadId_ = GetCurrentThreadId(); // published by the promise
        created.set_value(window);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        if (window)
            DestroyWindow(window);
    });
    window_ = window.get();
}

OtherWindow::~OtherWindow()
{
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

void OtherWindow::bringToFront()
{
    if (window_)
        SendMessageW(static_cast<HWND>(window_), kBringToFront, 0, 0);
}

} // namespace platform

#endif
