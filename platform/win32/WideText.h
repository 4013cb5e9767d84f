#pragma once
// UTF-8 to UTF-16 for the wide Win32 calls; shared by the backend and the
// simulator substitute's system side.

#include <windows.h>

#include <cstddef>
#include <string>

namespace platform {

inline std::wstring widen(const char *utf8)
{
    if (!utf8 || !*utf8)
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

} // namespace platform
