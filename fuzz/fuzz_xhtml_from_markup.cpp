// Book markup into XHTML over untrusted bytes. The first byte chooses the encoding
// (Windows-1252, UTF-8 or UTF-16); the rest is cut in two documents that link to each other.
// Whatever the input, each body must parse as XML with the repository's reader (no reference
// XML does not define), use only the elements and attributes the converter writes, repeat no
// id, and link only to documents and ids that are there and to pictures the book stores.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "formats/epub/EpubXml.h"
#include "formats/epub/XhtmlFromMarkup.h"

namespace {

using namespace pagewick;

const std::unordered_set<std::string_view> kElements = {
    "html", "body",   "p",     "h1",  "h2",  "h3",   "h4",  "h5",   "h6",  "div",  "blockquote",
    "pre",  "ul",     "ol",    "li",  "dl",  "dt",   "dd",  "b",    "i",   "u",    "s",
    "em",   "strong", "small", "sub", "sup", "code", "kbd", "samp", "var", "cite", "dfn",
    "abbr", "q",      "mark",  "del", "ins", "a",    "br",  "img",  "hr",  "span"};
const std::unordered_set<std::string_view> kAttributes = {"id",  "class", "href",   "src",
                                                          "alt", "width", "height", "start"};
const char* const kNames[] = {"a.xhtml", "b.xhtml"};

class Checker : public XmlReader {
public:
    Checker() { RefuseUndefinedReferences(); }
    std::unordered_set<std::string> ids;
    std::vector<std::string> links;

protected:
    void Start(std::string_view name, const XmlAttributes& a) override {
        if (!kElements.count(name)) std::abort();
        for (std::string_view attribute :
             {"id",    "class", "href",  "src",   "alt",   "width", "height",  "start",
              "style", "name",  "lang",  "title", "align", "value", "onclick", "border",
              "face",  "size",  "color", "type",  "rel",   "target"}) {
            if (a.Has(attribute) && !kAttributes.count(attribute)) std::abort();
        }
        if (a.Has("id") && !ids.insert(std::string(a.Get("id"))).second) std::abort();
        if (name == "a" && a.Has("href")) links.emplace_back(a.Get("href"));
        if (name == "img" && a.Get("src") != "p.png") std::abort();
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

bool HasScheme(std::string_view href) {
    const size_t colon = href.find(':');
    const size_t hash = href.find('#');
    return colon != std::string_view::npos && colon >= 2 &&
           (hash == std::string_view::npos || colon < hash);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int encoding = data[0] % 3;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t half = bytes.size() / 2;
    XhtmlOptions options;
    options.encoding = encoding == 1 ? MarkupEncoding::kUtf8 : MarkupEncoding::kWindows1252;
    options.picture = [](std::string_view src) {
        return src.ends_with(".png") ? std::string("p.png") : std::string();
    };
    XhtmlFromMarkup book(options);
    if (encoding == 2) {
        std::u16string wide(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < wide.size(); ++i)
            wide[i] = char16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
        const size_t wideHalf = wide.size() / 2;
        book.Add(kNames[0], "a.html", std::u16string_view(wide).substr(0, wideHalf));
        book.Add(kNames[1], "b.html", std::u16string_view(wide).substr(wideHalf));
    } else {
        book.Add(kNames[0], "a.html", bytes.substr(0, half));
        book.Add(kNames[1], "b.html", bytes.substr(half));
    }
    book.Finish();

    Checker checks[2];
    for (size_t d = 0; d < 2; ++d) {
        const std::string document =
            "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body>" + book.Body(d) + "</body></html>";
        if (checks[d].Parse(document, 256) != EpubResult::kOk) std::abort();
    }
    for (size_t d = 0; d < 2; ++d) {
        for (const std::string& href : checks[d].links) {
            if (HasScheme(href)) continue;
            const size_t hash = href.find('#');
            const std::string file = href.substr(0, hash);
            size_t to = d;
            if (!file.empty()) {
                if (file == kNames[0])
                    to = 0;
                else if (file == kNames[1])
                    to = 1;
                else
                    std::abort();
            }
            if (hash != std::string::npos && !checks[to].ids.count(href.substr(hash + 1)))
                std::abort();
        }
    }
    // A contents line resolves into the book, to an id that is there.
    if (bytes.size() < 512) {
        if (auto target = book.Resolve(bytes)) {
            if (target->document >= book.Size()) std::abort();
            if (!target->fragment.empty() && !checks[target->document].ids.count(target->fragment))
                std::abort();
        }
    }
    return 0;
}
