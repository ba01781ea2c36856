// The format dispatch: which reader serves a book of each source kind. A new format is a reader
// and one line here. The table is registered with the engine when the program starts: the
// formats library makes every program that links it pull this file in (see its CMakeLists.txt).
#include <memory>

#include "engine/BookEngine.h"
#include "formats/EpubBook.h"
#include "formats/LitBook.h"
#include "formats/PawkBook.h"
#include "formats/TextReaders.h"

namespace pagewick {

namespace {

template <class Reader>
void Register(int32_t sourceKind) {
    RegisterWindowReader(sourceKind, [] { return std::make_unique<Reader>(); });
}

bool RegisterFormatReaders() {
    Register<TextFileReader>(kSourceText);
    Register<ZipMemberReader>(kSourceZip);
    Register<LitBookReader>(kSourceLit);
    Register<PawkBookReader>(kSourcePawk);
    Register<EpubBookReader>(kSourceEpub);
    return true;
}

}  // namespace

}  // namespace pagewick

// Named outside the namespace so that the build can ask the linker for it by name.
extern "C" {
extern const bool pagewick_format_readers_registered;
const bool pagewick_format_readers_registered = pagewick::RegisterFormatReaders();
}
