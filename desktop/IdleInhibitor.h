// The idle inhibitor lives with the shared reading view.
#pragma once

#include "view/IdleInhibitor.h"

namespace wickstand {
using pwview::IdleInhibitor;
}
