// The display settings live with the shared reading view; Wickstand keeps its name for them.
#pragma once

#include "view/DisplaySettings.h"

namespace wickstand {
using pwview::DisplaySettings;
}
