// The XML documents of a book (container, package, contents, encryption list) read through
// expat, event by event. Reading is bounded whatever the document: entity declarations are
// refused outright (so no entity can expand into more text than the document holds), nesting
// deeper than the limit is refused, and a reader may stop at any event. Element and attribute
// names are handed over without their prefix ("dc:title" is "title"), so books that forget to
// declare a namespace read like the ones that do.
#pragma once

#include <string>
#include <string_view>

#include "formats/epub/EpubResult.h"

namespace pagewick {

// The attributes of one start tag, looked up by name without prefix.
class XmlAttributes {
public:
    explicit XmlAttributes(const char** raw) : raw_(raw) {}
    // The value of the first attribute whose name, prefix dropped, is localName ("" if none).
    std::string_view Get(std::string_view localName) const;
    // The value of the first attribute named localName with some prefix ("epub:type").
    std::string_view GetPrefixed(std::string_view localName) const;
    bool Has(std::string_view localName) const;

private:
    const char** raw_;
};

// The name after its prefix: "dc:title" gives "title".
std::string_view LocalName(std::string_view name);

// True when the whitespace-separated list holds token.
bool HasToken(std::string_view list, std::string_view token);

// Runs of XML white space made one space, none at either end.
std::string CollapseWhitespace(std::string_view text);

class XmlReader {
public:
    virtual ~XmlReader() = default;

    // Parses the whole document: kOk, kBadXml for a document that is not well-formed or that
    // declares entities or nests too deep, or the result a handler stopped with. Named
    // references the document does not define (HTML's "&nbsp;", "&mdash;", ...) arrive as their
    // characters when they are common ones, else as nothing.
    EpubResult Parse(std::string_view document, int maxDepth);

protected:
    virtual void Start(std::string_view name, const XmlAttributes& attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;
    // Ends the parse after this event with this result (kOk: stop, keeping what was read).
    void Stop(EpubResult result);
    // From then on a named reference the document does not define ends the parse with
    // kBadXml, as it does for every XML reader but this forgiving one: for checking documents
    // we write.
    void RefuseUndefinedReferences() { strictReferences_ = true; }

private:
    friend struct XmlCallbacks;
    void* parser_ = nullptr;
    EpubResult stopped_ = EpubResult::kOk;
    bool stopping_ = false;
    bool strictReferences_ = false;
    int depth_ = 0;
    int maxDepth_ = 0;
};

}  // namespace pagewick
