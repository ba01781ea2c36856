// The registry of format readers: the formats fill it when the program starts, the document
// takes a reader from it for each book it opens.
#include "engine/WindowReader.h"

#include <map>

namespace pagewick {

namespace {

std::map<int32_t, WindowReaderFactory>& Registry() {
    // Made on first use, so that registrations made while the program starts find it.
    static std::map<int32_t, WindowReaderFactory> registry;
    return registry;
}

}  // namespace

void RegisterWindowReader(int32_t sourceKind, WindowReaderFactory factory) {
    Registry()[sourceKind] = std::move(factory);
}

std::unique_ptr<WindowReader> MakeWindowReader(int32_t sourceKind) {
    auto found = Registry().find(sourceKind);
    if (found == Registry().end() || !found->second) return nullptr;
    return found->second();
}

}  // namespace pagewick
