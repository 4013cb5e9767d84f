// The Windows backend: the system calls the program was written against.

#include "platform/Platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/win32/WideText.h"

#include <windows.h>
#include <mmsystem.h>
#include <winver.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace platform {

namespace {

// Long paths are allowed to reach this many wide characters.
constexpr DWORD kMaxModulePath = 32768;

// Set once before the console handler can run; read on the system's thread.
void (*volatile terminationHandler)() = nullptr;

BOOL WINAPI onConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT)
        return FALSE;
    void (*handler)() = terminationHandler;
    if (!handler)
        return FALSE;
    terminationHandler = nullptr; // a second request ends the process
    handler();
    return TRUE;
}

// The running executable's own path: its version resource is the program's,
// whatever the file is called and wherever it lies.
std::wstring ownModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= kMaxModulePath)
            return {};
        path.resize(path.size() * 2);
    }
}

class Win32Os final : public Os {
public:
    MappingHandle openMapping(const char *name) override
    {
        const std::wstring wide = widen(name);
        if (wide.empty())
            return nullptr;
        return OpenFileMappingW(FILE_MAP_READ, FALSE, wide.c_str());
    }

    const void *mapView(MappingHandle mapping, std::size_t *size) override
    {
        if (size)
            *size = 0;
        if (!mapping || !size)
            return nullptr;
        const void *view = MapViewOfFile(static_cast<HANDLE>(mapping), FILE_MAP_READ, 0, 0, 0);
        if (!view)
            return nullptr;
        // The view of a whole mapping is one region; its size is the mapping's
        // size rounded up to whole pages.
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(view, &info, sizeof info) == 0 || info.RegionSize == 0) {
            UnmapViewOfFile(view);
            return nullptr;
        }
        *size = info.RegionSize;
        return view;
    }

    void unmapView(const void *view, std::size_t) override
    {
        if (view)
            UnmapViewOfFile(view);
    }

    void closeMapping(MappingHandle mapping) override
    {
        if (mapping)
            CloseHandle(static_cast<HANDLE>(mapping));
    }

    EventHandle openEvent(const char *name) override
    {
        const std::wstring wide = widen(name);
        if (wide.empty())
            return nullptr;
        return OpenEventW(SYNCHRONIZE, FALSE, wide.c_str());
    }

    void waitEvent(EventHandle event, int timeoutMs) override
    {
        if (event)
            WaitForSingleObject(static_cast<HANDLE>(event), timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 0);
    }

    void closeEvent(EventHandle event) override
    {
        if (event)
            CloseHandle(static_cast<HANDLE>(event));
    }

    void sleepMs(int ms) override
    {
        if (ms > 0)
            Sleep(static_cast<DWORD>(ms));
    }

    std::int64_t nowSeconds() override { return static_cast<std::int64_t>(_time64(nullptr)); }

    WindowId findWindow(const char *title) override
    {
        const std::wstring wide = widen(title);
        if (wide.empty())
            return 0;
        return reinterpret_cast<WindowId>(FindWindowW(nullptr, wide.c_str()));
    }

    WindowId foregroundWindow() override { return reinterpret_cast<WindowId>(GetForegroundWindow()); }

    std::uint32_t registerMessage(const char *name) override
    {
        const std::wstring wide = widen(name);
        if (wide.empty())
            return 0;
        return RegisterWindowMessageW(wide.c_str());
    }

    void broadcastMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam) override
    {
        SendNotifyMessageW(HWND_BROADCAST, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
    }

    void injectKey(std::uint16_t virtualKey, bool keyUp) override
    {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
        input.ki.wScan = 0;
        input.ki.dwFlags = keyUp ? KEYEVENTF_KEYUP : 0;
        input.ki.time = 0;
        input.ki.dwExtraInfo = 0;
        SendInput(1, &input, sizeof(INPUT));
    }

    void beginTimerResolution(unsigned ms) override { timeBeginPeriod(ms); }
    void endTimerResolution(unsigned ms) override { timeEndPeriod(ms); }

    void lowerCurrentThreadPriority() override
    {
        (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    }
    void setTerminationHandler(void (*handler)()) override
    {
        terminationHandler = handler;
        static const BOOL installed = SetConsoleCtrlHandler(onConsoleControl, TRUE);
        (void)installed;
    }

    bool programVersion(VersionNumbers *version) override
    {
        if (!version)
            return false;
        const std::wstring file = ownModulePath();
        if (file.empty())
            return false;
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
        if (size == 0)
            return false;
        std::vector<unsigned char> data(size);
        if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
            return false;
        void *translation = nullptr;
        UINT translationLength = 0;
        if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &translation, &translationLength) ||
            translationLength == 0)
            return false;
        void *fixed = nullptr;
        UINT fixedLength = 0;
        if (!VerQueryValueW(data.data(), L"\\", &fixed, &fixedLength) || fixedLength < sizeof(VS_FIXEDFILEINFO))
            return false;
        const auto *info = static_cast<const VS_FIXEDFILEINFO *>(fixed);
        version->part[0] = HIWORD(info->dwFileVersionMS);
        version->part[1] = LOWORD(info->dwFileVersionMS);
        version->part[2] = HIWORD(info->dwFileVersionLS);
        version->part[3] = LOWORD(info->dwFileVersionLS);
        return true;
    }
};

} // namespace

Os &systemOs()
{
    static Win32Os instance;
    return instance;
}

} // namespace platform
