// Fuzz target for the builder's text preparation: every chain, with and without reflow, the plain
// title and the per-source step, on any bytes. The chains must end, stay inside the text and
// never grow it beyond a small factor.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pawk/builder/SourcePrep.h"

using namespace pagewick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool reflow = data[0] & 1;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    for (auto chain : {&PrepareText, &PrepareHtml, &PrepareLitBody}) {
        std::string text = input;
        chain(text, reflow, nullptr);
        // "&" becomes "&amp;" at worst (five bytes for one), plus the fixed tags of a chain.
        if (text.size() > input.size() * 12 + 64) __builtin_trap();
    }
    std::string title = PlainTitle(input);
    if (title.size() > input.size() * 2) __builtin_trap();
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
