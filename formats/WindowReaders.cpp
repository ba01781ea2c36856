// The format dispatch: which reader serves a book of each source kind, which file names detect
// it and which library entries keep it. A new format is a reader and one row here. The readers
// are registered with the engine when the program starts: the formats library makes every
// program that links it pull this file in (see its CMakeLists.txt).
#include <array>
#include <memory>

#include "engine/BookEngine.h"
#include "formats/BookKinds.h"
#include "formats/EpubBook.h"
#include "formats/LitBook.h"
#include "formats/PawkBook.h"
#include "formats/TextReaders.h"
#include "util/AsciiCase.h"

namespace pagewick {

namespace {

constexpr int32_t kNoKind = -1;

// The last four characters of a file name (lower case, as the table writes them) and the
// library entry a file so named is (none for ".pwk", the name of every book's pagination file).
struct Ending {
    std::string_view written;
    int32_t libraryKind = kNoKind;
};

struct Format {
    int32_t sourceKind;
    std::unique_ptr<WindowReader> (*make)();
    std::array<Ending, 3> endings;
    // The library entries that open as this format; the first is the one its books are stored
    // as unless an ending or the magazine flag says another.
    std::array<int32_t, 2> storedAs;
    // Its books are members of an archive, named beside the archive's path.
    bool readsMembers = false;
};

template <class Reader>
std::unique_ptr<WindowReader> Make() {
    return std::make_unique<Reader>();
}

// One row per format: its source kind, its reader, the endings that detect it (each with the
// library entry a file so named is), the library entries it opens, and whether it reads
// archive members.
// clang-format off
constexpr Format kFormats[] = {
    {kSourceText, &Make<TextFileReader>,
     {{{".txt", kLibraryText}, {".htm", kLibraryHtml}, {"html", kLibraryHtml}}},
     {kLibraryText, kLibraryHtml}},
    {kSourceZip,  &Make<ZipMemberReader>, {{{".zip", kLibraryZipMember}}},
     {kLibraryZipMember, kNoKind}, true},
    {kSourceLit,  &Make<LitBookReader>, {{{".lit", kLibraryLit}}},
     {kLibraryLit, kLibraryMagazine}},
    {kSourcePawk, &Make<PawkBookReader>, {{{".pwk", kNoKind}, {"pawk", kLibraryPawk}}},
     {kLibraryPawk, kLibraryHelp}},
    {kSourceEpub, &Make<EpubBookReader>, {{{"epub", kLibraryEpub}}},
     {kLibraryEpub, kNoKind}},
};
// clang-format on

const Format* FormatOfKind(int32_t sourceKind) {
    for (const Format& format : kFormats)
        if (format.sourceKind == sourceKind) return &format;
    return nullptr;
}

// The format a file name detects and the ending that did; nulls when none.
std::pair<const Format*, const Ending*> FormatOfName(std::string_view path) {
    if (path.size() < 4) return {nullptr, nullptr};
    const std::string last = LowerAscii(path.substr(path.size() - 4));
    for (const Format& format : kFormats)
        for (const Ending& ending : format.endings)
            if (!ending.written.empty() && last == ending.written) return {&format, &ending};
    return {nullptr, nullptr};
}

bool RegisterFormatReaders() {
    for (const Format& format : kFormats)
        RegisterWindowReader(format.sourceKind, format.make);
    return true;
}

}  // namespace

int32_t SourceKindOfPath(std::string_view path, int32_t otherwise) {
    const Format* format = FormatOfName(path).first;
    return format ? format->sourceKind : otherwise;
}

int32_t SourceKindOfBook(std::string_view path, const std::string& member) {
    const Format* format = FormatOfName(path).first;
    if (!format || (format->readsMembers && member.empty())) return kNoKind;
    return format->sourceKind;
}

bool SourceKindReadsMembers(int32_t sourceKind) {
    const Format* format = FormatOfKind(sourceKind);
    return format && format->readsMembers;
}

int32_t LibraryKindOf(const CBookEngine& doc) {
    const Format* format = FormatOfKind(doc.SourceKind);
    if (!format) return kLibraryText;
    if (doc.Magazine)
        for (int32_t kind : format->storedAs)
            if (kind == kLibraryMagazine) return kind;
    // A file named for another kind of this format's entries (an HTML file) is that entry.
    const auto [named, ending] = FormatOfName(doc.BookPath);
    if (named == format && ending->libraryKind != kNoKind) return ending->libraryKind;
    return format->storedAs[0];
}

int32_t LibraryKindOfName(std::string_view name) {
    const Ending* ending = FormatOfName(name).second;
    return ending ? ending->libraryKind : kNoKind;
}

int32_t SourceKindOfLibraryKind(int32_t libraryKind) {
    for (const Format& format : kFormats)
        for (int32_t kind : format.storedAs)
            if (kind != kNoKind && kind == libraryKind) return format.sourceKind;
    return kNoKind;
}

}  // namespace pagewick

// Named outside the namespace so that the build can ask the linker for it by name.
extern "C" {
extern const bool pagewick_format_readers_registered;
const bool pagewick_format_readers_registered = pagewick::RegisterFormatReaders();
}
