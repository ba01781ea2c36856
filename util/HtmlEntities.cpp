#include "util/HtmlEntities.h"

#include <algorithm>
#include <cstddef>

namespace pagewick {

namespace {

#include "util/HtmlEntities.inc"

constexpr bool SortedByName() {
    for (size_t i = 1; i < kHtmlEntityCount; ++i)
        if (!(kHtmlEntities[i - 1].name < kHtmlEntities[i].name)) return false;
    return true;
}
static_assert(SortedByName(), "the reference table is searched by halves");

}  // namespace

const HtmlEntity* FindHtmlEntity(std::string_view name) {
    const HtmlEntity* end = kHtmlEntities + kHtmlEntityCount;
    const HtmlEntity* at =
        std::lower_bound(kHtmlEntities, end, name,
                         [](const HtmlEntity& e, std::string_view n) { return e.name < n; });
    return at != end && at->name == name ? at : nullptr;
}

}  // namespace pagewick
