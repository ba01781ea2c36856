// Fuzz target for the builder's text preparation: every chain, with and without reflow, in both
// forms a source is held in, the plain title, the choice of how a source is read, the check of
// what a file holds and the per-source step, on any bytes. The chains must end, stay inside the
// text and never grow it beyond a small factor; a UTF-8 label made code page and back is itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "builder/SourcePrep.h"
#include "util/Cp1252.h"
#include "util/Utf8.h"

using namespace pagewick;

namespace {

bool ValidUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    for (size_t i = 0; i < text.size();) {
        char16_t c;
        bool bad = false;
        i += DecodeUtf8Character(p + i, text.size() - i, true, c, &bad);
        if (bad) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool reflow = data[0] & 1;
    const SourceText form = data[0] & 2 ? SourceText::Utf8 : SourceText::CodePage;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    auto text = [&](auto chain) {
        std::string t = input;
        chain(t);
        // "&" becomes "&amp;" at worst (five bytes for one), plus the fixed tags of a chain.
        if (t.size() > input.size() * 12 + 64) __builtin_trap();
    };
    text([&](std::string& t) { PrepareText(t, reflow); });
    text([&](std::string& t) { PrepareHtml(t, reflow, nullptr, form); });
    text([&](std::string& t) { PrepareLitBody(t, reflow); });
    std::string title = PlainTitle(input, form);
    if (title.size() > input.size() * 2) __builtin_trap();

    // UTF-16 doubles at most to UTF-8 (three bytes for two); references are at most ten bytes
    // for the four of a UTF-8 character.
    std::string taken = input;
    if (TakeSourceText(taken) == SourceText::Utf8) {
        if (taken.size() > input.size() * 2) __builtin_trap();
        if (Utf8ToCodePageLabel(taken).size() > taken.size() * 10) __builtin_trap();
    } else if (taken != input) {
        __builtin_trap();
    }
    if (input.find('&') == std::string::npos && ValidUtf8(input) &&
        CodePageLabelToUtf8(Utf8ToCodePageLabel(input)) != input)
        __builtin_trap();
    RefusedSource(input, input);
    StoredFileName(input);

    std::vector<SourceFile> sources = {{0, "dir/x.htm", "", input}, {0, kLitBodyName, "", input}};
    std::vector<PawkContentsEntry> contents;
    PrepareSources(sources, reflow, contents);
    if (!input.empty() && contents.size() != 2) __builtin_trap();
    try {
        ClassifyFile(input);
    } catch (const ExecutableFileError&) {
    }
    return 0;
}
