// Keeps the screen awake while the book scrolls by itself: an inhibit through the desktop's
// screen saver service on the session bus, when there is one; nothing otherwise.
#pragma once

#include <cstdint>

namespace wickstand {

class IdleInhibitor {
public:
    ~IdleInhibitor() { Release(); }
    void Hold();
    void Release();
    bool Held() const { return held_; }

private:
    bool held_ = false;
    uint32_t cookie_ = 0;
    bool viaBus_ = false;
};

}  // namespace wickstand
