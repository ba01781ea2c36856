#include "formats/epub/EpubXml.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "formats/epub/HtmlEntities.h"
#include "util/AsciiCase.h"

namespace pagewick {

namespace {

// A reference the document uses without defining it, as its characters ("" when unknown).
std::string NamedReference(std::string_view name) {
    std::string out;
    if (char32_t c = HtmlNamedCharacter(name)) AppendUtf8(out, c);
    return out;
}

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

constexpr size_t kFeed = 1u << 20;

}  // namespace

std::string_view LocalName(std::string_view name) {
    size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view XmlAttributes::Get(std::string_view localName) const {
    for (const char** a = raw_; a && a[0]; a += 2)
        if (LocalName(a[0]) == localName) return a[1];
    return {};
}

std::string_view XmlAttributes::GetPrefixed(std::string_view localName) const {
    for (const char** a = raw_; a && a[0]; a += 2) {
        std::string_view name = a[0];
        if (name.size() > localName.size() + 1 && LocalName(name) == localName) return a[1];
    }
    return {};
}

bool XmlAttributes::Has(std::string_view localName) const {
    for (const char** a = raw_; a && a[0]; a += 2)
        if (LocalName(a[0]) == localName) return true;
    return false;
}

bool HasToken(std::string_view list, std::string_view token) {
    size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && IsXmlSpace(list[at]))
            ++at;
        size_t end = at;
        while (end < list.size() && !IsXmlSpace(list[end]))
            ++end;
        if (end > at && list.substr(at, end - at) == token) return true;
        at = end;
    }
    return false;
}

std::string CollapseWhitespace(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool space = false;
    for (char c : text) {
        if (IsXmlSpace(c)) {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

// The expat callbacks, which reach the reader's private state.
struct XmlCallbacks {
    static XmlReader& Reader(void* user) { return *static_cast<XmlReader*>(user); }
    // No exception may cross expat's C frames: a failed allocation stops the parse instead.
    template <typename Fn>
    static void Guarded(XmlReader& r, Fn&& fn) {
        try {
            fn();
        } catch (const std::bad_alloc&) {
            r.Stop(EpubResult::kNoMemory);
        }
    }

    static void StartElement(void* user, const XML_Char* name, const XML_Char** attributes) {
        XmlReader& r = Reader(user);
        if (r.stopping_) return;
        if (++r.depth_ > r.maxDepth_) {
            r.Stop(EpubResult::kBadXml);
            return;
        }
        Guarded(r, [&] { r.Start(LocalName(name), XmlAttributes(attributes)); });
    }
    static void EndElement(void* user, const XML_Char* name) {
        XmlReader& r = Reader(user);
        if (r.stopping_) return;
        --r.depth_;
        Guarded(r, [&] { r.End(LocalName(name)); });
    }
    static void Characters(void* user, const XML_Char* text, int length) {
        XmlReader& r = Reader(user);
        if (r.stopping_ || length <= 0) return;
        Guarded(r, [&] { r.Text(std::string_view(text, size_t(length))); });
    }
    static void SkippedEntity(void* user, const XML_Char* name, int parameterEntity) {
        XmlReader& r = Reader(user);
        if (r.stopping_ || parameterEntity) return;
        if (r.strictReferences_) {
            r.Stop(EpubResult::kBadXml);
            return;
        }
        Guarded(r, [&] {
            std::string text = NamedReference(name);
            if (!text.empty()) r.Text(text);
        });
    }
    // Any entity declaration ends the parse: books have no use for them, and refusing them
    // is what keeps "billion laughs" and its kin from expanding.
    static void EntityDeclaration(void* user, const XML_Char*, int, const XML_Char*, int,
                                  const XML_Char*, const XML_Char*, const XML_Char*,
                                  const XML_Char*) {
        Reader(user).Stop(EpubResult::kBadXml);
    }
    static int UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
        std::string_view encoding = name;
        if (!EqualIgnoringAsciiCase(encoding, "windows-1252") &&
            !EqualIgnoringAsciiCase(encoding, "cp1252") &&
            !EqualIgnoringAsciiCase(encoding, "x-cp1252"))
            return XML_STATUS_ERROR;
        for (int i = 0; i < 256; ++i)
            info->map[i] = int(Cp1252HighCharacter((unsigned char)i));
        info->data = nullptr;
        info->convert = nullptr;
        info->release = nullptr;
        return XML_STATUS_OK;
    }
};

void XmlReader::Stop(EpubResult result) {
    if (stopping_) return;
    stopping_ = true;
    stopped_ = result;
    XML_StopParser(static_cast<XML_Parser>(parser_), XML_FALSE);
}

EpubResult XmlReader::Parse(std::string_view document, int maxDepth) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) return EpubResult::kNoMemory;
    parser_ = parser;
    stopped_ = EpubResult::kOk;
    stopping_ = false;
    depth_ = 0;
    maxDepth_ = maxDepth;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &XmlCallbacks::StartElement, &XmlCallbacks::EndElement);
    XML_SetCharacterDataHandler(parser, &XmlCallbacks::Characters);
    XML_SetEntityDeclHandler(parser, &XmlCallbacks::EntityDeclaration);
    XML_SetUnknownEncodingHandler(parser, &XmlCallbacks::UnknownEncoding, nullptr);
    // As if every document had an outside DTD that we never read: references it would define
    // become skipped entities (see SkippedEntity) instead of errors.
    XML_UseForeignDTD(parser, XML_TRUE);
    XML_SetSkippedEntityHandler(parser, &XmlCallbacks::SkippedEntity);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);

    EpubResult result = EpubResult::kOk;
    try {
        size_t at = 0;
        do {
            const size_t n = std::min(kFeed, document.size() - at);
            const bool last = at + n == document.size();
            if (XML_Parse(parser, document.data() + at, int(n), last) != XML_STATUS_OK) {
                result = stopping_ ? stopped_ : EpubResult::kBadXml;
                break;
            }
            at += n;
            if (stopping_) {
                result = stopped_;
                break;
            }
        } while (at < document.size());
    } catch (const std::bad_alloc&) {
        result = EpubResult::kNoMemory;
    }
    XML_ParserFree(parser);
    parser_ = nullptr;
    return result;
}

}  // namespace pagewick
