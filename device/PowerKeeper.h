// The power keeper: keeps the handheld awake while the reader runs and gives the power settings
// back exactly as they were. Behind this small interface so that tests see what was asked.
#pragma once

#include <memory>

#include "view/IdleInhibitor.h"

namespace wickpad {

class PowerKeeper {
public:
    virtual ~PowerKeeper() = default;
    // Takes the inhibit; true when the platform took it (reading goes on either way).
    virtual bool Enable() = 0;
    // Gives it back; nothing when not enabled.
    virtual void Disable() = 0;
    virtual bool Active() const = 0;
};

// The desktop's way: an inhibit of idle through the session bus's screen saver service and
// through logind's idle inhibitor, whichever exist; never of sleep, so the person's own Suspend
// still works. The screen saver service drops an
// inhibit when its caller leaves the bus, and logind's inhibitor is a descriptor that closes with
// the process, so neither outlives a program that dies.
class DBusPowerKeeper : public PowerKeeper {
public:
    DBusPowerKeeper();
    bool Enable() override;
    void Disable() override;
    bool Active() const override { return inhibitor_.Held(); }

private:
    pwview::IdleInhibitor inhibitor_;
};

}  // namespace wickpad
