#include "library/PlainText.h"

#include <cstdint>

namespace pagewick {

bool WriteBookText(CBookEngine& doc, const TextSink& sink) {
    bool wrote = false;
    const bool ok = WriteShownText(doc, 0, INT32_MAX, [&](std::string_view piece) {
        wrote = wrote || !piece.empty();
        return sink(piece);
    });
    return ok && (!wrote || sink("\n"));
}

}  // namespace pagewick
