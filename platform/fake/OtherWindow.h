#pragma once
// A top-level window of the test's own that it brings in front of the
// simulator's. On Windows it is a real window on a thread of its own; on
// POSIX the substitute's "behind" state already stands for another window in
// front, so there is nothing to do.

#ifdef _WIN32
#include <thread>
#endif

namespace platform {

#ifdef _WIN32
class OtherWindow {
public:
    OtherWindow();
    ~OtherWindow();
    // Shows the window and makes it the foreground window.
    void bringToFront();

private:
    std::thread thread_;
    void *window_ = nullptr;
    unsigned long threadId_ = 0;
};
#else
struct OtherWindow {
    void bringToFront() {}
};
#endif

} // namespace platform
