#pragma once
// A top-level window of the test's own that it brings in front of the
// simulator's. On Windows it is a real window on a thread of its own; on
// POSIX the substitute's "behind" state already stands for another window in
// front, so there is nothing to do.

namespace platform {

class OtherWindow {
public:
    OtherWindow();
    ~OtherWindow();
    OtherWindow(const OtherWindow &) = delete;
    OtherWindow &operator=(const OtherWindow &) = delete;

    // Shows the window and makes it the foreground window.
    void bringToFront();

private:
    struct State;
    State *state_;
};

} // namespace platform
