#include "device/PowerKeeper.h"

namespace wickpad {

DBusPowerKeeper::DBusPowerKeeper()
    : inhibitor_(QStringLiteral("wickpad"), QStringLiteral("Reading a book"), true) {}

bool DBusPowerKeeper::Enable() {
    inhibitor_.Hold();
    return inhibitor_.ScreenSaverHeld() || inhibitor_.LogindHeld();
}

void DBusPowerKeeper::Disable() {
    inhibitor_.Release();
}

}  // namespace wickpad
