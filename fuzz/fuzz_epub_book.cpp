// Opens the input as an EPUB book through the document, as the reader does, pages it through to
// its end with fixed metrics, and converts it to text. Every page must start past the one before,
// the end must be found, and the text writer must finish. Members and the text are capped lower
// than a reader's so that each input stays quick to page.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/BookEngine.h"
#include "engine/FixedSurface.h"
#include "formats/EpubBook.h"
#include "library/PlainText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace pagewick;
    EpubLimits limits;
    limits.memberBytes = 256u << 10;
    limits.memberRatio = 20;
    limits.documentBytes = 256u << 10;
    limits.items = 2000;
    limits.cacheBytes = 512u << 10;
    CBookEngine doc;
    doc.RightEdge = 200;
    doc.PageHeight = 300;
    if (!doc.PrepareSource(std::make_unique<EpubBookReader>(std::vector<uint8_t>(data, data + size),
                                                            limits, 16u << 10)))
        return 0;
    FixedSurface dc;
    doc.GetChar(0);
    doc.BuildWidthTable(&dc);
    doc.PaginateTo(0x7fffffff);
    if (doc.TextLength > 0 && doc.LastPage == kLastPageUnknown) std::abort();
    for (size_t i = 1; i < doc.PageStarts.size(); ++i)
        if (doc.PageStarts[i] <= doc.PageStarts[i - 1]) std::abort();
    // The first contents entry leads somewhere or nowhere, never out of the book.
    if (!doc.Contents.empty() && !doc.Contents[0].target.empty())
        doc.GoToTarget(doc.Contents[0].target);
    size_t written = 0;
    if (!WriteBookText(doc, [&](std::string_view piece) {
            written += piece.size();
            return true;
        }))
        std::abort();
    return 0;
}
