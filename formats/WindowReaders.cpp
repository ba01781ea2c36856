// The format dispatch: which reader serves a book of each source kind. A new format is a reader
// and one line here.
#include <memory>

#include "engine/BookEngine.h"
#include "formats/LitBook.h"
#include "formats/PawkBook.h"
#include "formats/TextReaders.h"

namespace pagewick {

std::unique_ptr<WindowReader> MakeWindowReader(int32_t sourceKind) {
    switch (sourceKind) {
        case kSourceText:
            return std::make_unique<TextFileReader>();
        case kSourceZip:
            return std::make_unique<ZipMemberReader>();
        case kSourceLit:
            return std::make_unique<LitBookReader>();
        case kSourcePawk:
            return std::make_unique<PawkBookReader>();
        default:
            return nullptr;
    }
}

}  // namespace pagewick
