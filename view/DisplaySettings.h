// The display settings and their file are core code (platform/); the reading views keep their
// name for them.
#pragma once

#include "platform/DisplaySettings.h"

namespace pwview {
using pagewick::DisplaySettings;
}
