// A book written out as plain UTF-8 text, as a reader would want it (see engine/ShownText.h).
#pragma once

#include "engine/ShownText.h"

namespace pagewick {

// Writes the open book's text to the sink, ending with a line break. False when the sink
// stopped it.
bool WriteBookText(CBookEngine& doc, const TextSink& sink);

}  // namespace pagewick
