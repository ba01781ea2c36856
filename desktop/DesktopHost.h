// The Host lives with the pieces both readers share; Wickstand keeps its name for it.
#pragma once

#include "view/DesktopHost.h"

namespace wickstand {
using pwview::DesktopHost;
}
