#include "formats/epub/EpubDocuments.h"

#include <new>

#include "formats/epub/EpubPath.h"
#include "formats/epub/EpubXml.h"
#include "util/AsciiCase.h"

namespace pagewick {

namespace {

constexpr std::string_view kPackageMediaType = "application/oebps-package+xml";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// ---- container.xml ----

class ContainerReader : public XmlReader {
public:
    std::string first, package;

protected:
    void Start(std::string_view name, const XmlAttributes& a) override {
        if (name != "rootfile") return;
        std::string_view path = a.Get("full-path");
        if (path.empty()) return;
        if (first.empty()) first = path;
        if (EqualIgnoringAsciiCase(a.Get("media-type"), kPackageMediaType)) {
            package = path;
            Stop(EpubResult::kOk);
        }
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

// ---- the package ----

class PackageReader : public XmlReader {
public:
    PackageReader(std::string_view packagePath, const EpubLimits& limits, EpubPackageDocument& out)
        : packagePath_(packagePath), limits_(limits), out_(out) {}

    // An EPUB 3 refinement saying which identifier is an ISBN, applied once all are read.
    std::vector<std::pair<std::string, std::string>> identifierTypes;

protected:
    enum class Field {
        kNone,
        kTitle,
        kCreator,
        kPublisher,
        kIdentifier,
        kRights,
        kLanguage,
        kIdentifierType
    };

    void Start(std::string_view name, const XmlAttributes& a) override {
        ++depth_;
        if (field_ != Field::kNone) return;  // markup inside a metadata element: its text counts
        if (depth_ == 1 && name == "package") {
            out_.version = CollapseWhitespace(a.Get("version"));
            out_.uniqueIdentifier = a.Get("unique-identifier");
            return;
        }
        if (name == "metadata") {
            inMetadata_ = true;
        } else if (name == "manifest") {
            inManifest_ = true;
        } else if (name == "spine") {
            inSpine_ = true;
            if (out_.spineToc.empty()) out_.spineToc = a.Get("toc");
        } else if (name == "guide") {
            inGuide_ = true;
        } else if (inManifest_ && name == "item") {
            if (!Count()) return;
            EpubManifestItem item;
            item.id = a.Get("id");
            item.href = a.Get("href");
            item.mediaType = a.Get("media-type");
            item.properties = a.Get("properties");
            std::string fragment;
            if (!ResolveHref(packagePath_, item.href, item.path, fragment)) item.path.clear();
            out_.manifest.push_back(std::move(item));
        } else if (inSpine_ && name == "itemref") {
            if (!Count()) return;
            EpubSpineRef ref;
            ref.idref = a.Get("idref");
            ref.linear = !EqualIgnoringAsciiCase(CollapseWhitespace(a.Get("linear")), "no");
            out_.spine.push_back(std::move(ref));
        } else if (inGuide_ && name == "reference") {
            if (out_.guideCover.empty() && EqualIgnoringAsciiCase(a.Get("type"), "cover")) {
                std::string path, fragment;
                if (ResolveHref(packagePath_, a.Get("href"), path, fragment))
                    out_.guideCover = path;
            }
        } else if (inMetadata_) {
            StartMetadata(name, a);
        }
    }

    void End(std::string_view name) override {
        if (field_ != Field::kNone && depth_ == fieldDepth_) FinishField();
        --depth_;
        if (field_ != Field::kNone) return;
        if (name == "metadata") inMetadata_ = false;
        if (name == "manifest") inManifest_ = false;
        if (name == "spine") inSpine_ = false;
        if (name == "guide") inGuide_ = false;
    }

    void Text(std::string_view text) override {
        if (field_ == Field::kNone) return;
        // A field is one line of text: a huge one is cut rather than held.
        if (text_.size() < kMaxFieldBytes) text_.append(text.substr(0, kMaxFieldBytes));
    }

private:
    static constexpr size_t kMaxFieldBytes = 64 * 1024;

    // Every item and metadata element counts against the limit.
    bool Count() {
        if (++items_ <= limits_.items) return true;
        Stop(EpubResult::kTooMany);
        return false;
    }

    void StartMetadata(std::string_view name, const XmlAttributes& a) {
        // OEB 1 packages write "dc:Title", EPUB ones "dc:title".
        const std::string lower = LowerAscii(name);
        Field field = Field::kNone;
        if (lower == "title")
            field = Field::kTitle;
        else if (lower == "creator")
            field = Field::kCreator;
        else if (lower == "publisher")
            field = Field::kPublisher;
        else if (lower == "identifier")
            field = Field::kIdentifier;
        else if (lower == "rights")
            field = Field::kRights;
        else if (lower == "language")
            field = Field::kLanguage;
        else if (lower == "meta") {
            if (EqualIgnoringAsciiCase(a.Get("name"), "cover")) {
                if (out_.coverMeta.empty()) out_.coverMeta = CollapseWhitespace(a.Get("content"));
                return;
            }
            if (a.Get("property") == "identifier-type" && !a.Get("refines").empty())
                field = Field::kIdentifierType;
        }
        if (field == Field::kNone || !Count()) return;
        field_ = field;
        fieldDepth_ = depth_;
        text_.clear();
        if (field == Field::kIdentifier) {
            identifierId_ = a.Get("id");
            identifierScheme_ = a.Get("scheme");
        } else if (field == Field::kIdentifierType) {
            refines_ = a.Get("refines");
            refinesScheme_ = a.Get("scheme");
        }
    }

    void FinishField() {
        std::string value = CollapseWhitespace(text_);
        auto first = [&value](std::string& slot) {
            if (slot.empty()) slot = std::move(value);
        };
        switch (field_) {
            case Field::kTitle:
                first(out_.title);
                break;
            case Field::kPublisher:
                first(out_.publisher);
                break;
            case Field::kRights:
                first(out_.rights);
                break;
            case Field::kLanguage:
                first(out_.language);
                break;
            case Field::kCreator:
                if (!value.empty()) out_.creators.push_back(std::move(value));
                break;
            case Field::kIdentifier:
                out_.identifiers.push_back({identifierId_, identifierScheme_, std::move(value)});
                break;
            case Field::kIdentifierType: {
                // ONIX code list 5: 02 is an ISBN-10, 15 an ISBN-13.
                const bool onix = StartsWithIgnoringCase(refinesScheme_, "onix:");
                if (EqualIgnoringAsciiCase(value, "isbn") ||
                    (onix && (value == "02" || value == "15"))) {
                    std::string_view id = refines_;
                    if (!id.empty() && id[0] == '#') id.remove_prefix(1);
                    identifierTypes.emplace_back(std::string(id), "ISBN");
                }
                break;
            }
            case Field::kNone:
                break;
        }
        field_ = Field::kNone;
        text_.clear();
    }

    std::string_view packagePath_;
    const EpubLimits& limits_;
    EpubPackageDocument& out_;
    int depth_ = 0;
    size_t items_ = 0;
    bool inMetadata_ = false, inManifest_ = false, inSpine_ = false, inGuide_ = false;
    Field field_ = Field::kNone;
    int fieldDepth_ = 0;
    std::string text_;
    std::string identifierId_, identifierScheme_, refines_, refinesScheme_;
};

// ---- contents ----

// Gathers entries for both contents formats: each opened where its element starts (so parents
// come before their children), titled by the text of its label.
class ContentsGatherer : public XmlReader {
public:
    ContentsGatherer(std::string_view documentPath, const EpubLimits& limits,
                     std::vector<EpubContentsEntry>& out)
        : documentPath_(documentPath), limits_(limits), out_(out) {}

protected:
    struct Pending {
        std::string title, href, alt;
        int level = 0;
        bool labelled = false;
    };

    // A new entry at the current nesting; false once the limit is reached (the parse stops).
    bool OpenEntry() {
        if (pending_.size() >= limits_.items) {
            Stop(EpubResult::kOk);
            return false;
        }
        Pending p;
        p.level = int(open_.size());
        open_.push_back(pending_.size());
        pending_.push_back(std::move(p));
        return true;
    }
    void CloseEntry() {
        if (!open_.empty()) open_.pop_back();
    }
    Pending* Current() { return open_.empty() ? nullptr : &pending_[open_.back()]; }
    void AddText(std::string_view text) {
        Pending* p = Current();
        if (p && p->title.size() < kMaxTitleBytes) p->title.append(text.substr(0, kMaxTitleBytes));
    }

public:
    // The entries with a title, their targets resolved against the document's folder.
    void Finish() {
        for (Pending& p : pending_) {
            std::string title = CollapseWhitespace(p.title);
            if (title.empty()) title = CollapseWhitespace(p.alt);
            if (title.empty()) continue;
            EpubContentsEntry entry;
            entry.title = std::move(title);
            entry.level = p.level;
            if (!p.href.empty() &&
                !ResolveHref(documentPath_, p.href, entry.path, entry.fragment)) {
                entry.path.clear();
                entry.fragment.clear();
            }
            out_.push_back(std::move(entry));
        }
        pending_.clear();
    }

private:
    static constexpr size_t kMaxTitleBytes = 4096;
    std::string_view documentPath_;
    const EpubLimits& limits_;
    std::vector<EpubContentsEntry>& out_;
    std::vector<Pending> pending_;
    std::vector<size_t> open_;  // indices into pending_ of the entries still open
};

class NavReader : public ContentsGatherer {
public:
    using ContentsGatherer::ContentsGatherer;

protected:
    void Start(std::string_view name, const XmlAttributes& a) override {
        ++depth_;
        if (!inToc_) {
            if (name == "nav" &&
                (HasToken(a.Get("type"), "toc") || HasToken(a.Get("role"), "doc-toc"))) {
                inToc_ = true;
                tocDepth_ = depth_;
            }
            return;
        }
        if (name == "li") {
            OpenEntry();
            return;
        }
        Pending* p = Current();
        if (!p) return;
        if (labelDepth_ == 0 && !p->labelled && (name == "a" || name == "span")) {
            labelDepth_ = depth_;
            p->labelled = true;
            if (name == "a") p->href = a.Get("href");
        } else if (labelDepth_ != 0 && name == "img" && p->alt.empty()) {
            p->alt = a.Get("alt");
        }
    }
    void End(std::string_view name) override {
        if (inToc_) {
            if (depth_ == labelDepth_) labelDepth_ = 0;
            if (name == "li") CloseEntry();
            if (depth_ == tocDepth_) Stop(EpubResult::kOk);  // the rest is not contents
        }
        --depth_;
    }
    void Text(std::string_view text) override {
        if (labelDepth_ != 0) AddText(text);
    }

private:
    int depth_ = 0;
    bool inToc_ = false;
    int tocDepth_ = 0;
    int labelDepth_ = 0;  // depth of the open label element, 0 outside one
};

class NcxReader : public ContentsGatherer {
public:
    using ContentsGatherer::ContentsGatherer;

protected:
    void Start(std::string_view name, const XmlAttributes& a) override {
        if (name == "navMap") {
            ++inMap_;
            return;
        }
        if (inMap_ == 0) return;
        if (name == "navPoint") {
            OpenEntry();
            return;
        }
        Pending* p = Current();
        if (!p) return;
        if (name == "navLabel" && !p->labelled) {
            inLabel_ = true;
        } else if (name == "text" && inLabel_) {
            inText_ = true;
        } else if (name == "content" && p->href.empty()) {
            p->href = a.Get("src");
        }
    }
    void End(std::string_view name) override {
        if (name == "navMap" && inMap_ > 0) --inMap_;
        if (inMap_ == 0) return;
        if (name == "navPoint") {
            CloseEntry();
        } else if (name == "text") {
            inText_ = false;
        } else if (name == "navLabel" && inLabel_) {
            inLabel_ = false;
            if (Pending* p = Current()) p->labelled = true;  // later labels (other languages) pass
        }
    }
    void Text(std::string_view text) override {
        if (inText_) AddText(text);
    }

private:
    int inMap_ = 0;
    bool inLabel_ = false, inText_ = false;
};

// ---- encryption.xml ----

class EncryptionReader : public XmlReader {
public:
    EncryptionReader(const EpubLimits& limits, std::vector<EpubEncryptedItem>& out)
        : limits_(limits), out_(out) {}

protected:
    void Start(std::string_view name, const XmlAttributes& a) override {
        if (name == "EncryptedData") {
            inData_ = true;
            algorithm_.clear();
            uri_.clear();
        } else if (inData_ && name == "EncryptionMethod" && algorithm_.empty()) {
            algorithm_ = CollapseWhitespace(a.Get("Algorithm"));
        } else if (inData_ && name == "CipherReference" && uri_.empty()) {
            uri_ = a.Get("URI");
        }
    }
    void End(std::string_view name) override {
        if (name != "EncryptedData" || !inData_) return;
        inData_ = false;
        if (out_.size() >= limits_.items) {
            Stop(EpubResult::kTooMany);
            return;
        }
        EpubEncryptedItem item;
        std::string fragment;
        // The list's URIs are relative to the container's root, not to META-INF.
        if (!ResolveHref("", uri_, item.path, fragment)) item.path.clear();
        item.algorithm = algorithm_;
        out_.push_back(std::move(item));
    }
    void Text(std::string_view) override {}

private:
    const EpubLimits& limits_;
    std::vector<EpubEncryptedItem>& out_;
    bool inData_ = false;
    std::string algorithm_, uri_;
};

}  // namespace

EpubResult ParseContainerXml(std::string_view xml, const EpubLimits& limits,
                             std::string& packagePath) {
    packagePath.clear();
    try {
        ContainerReader reader;
        EpubResult result = reader.Parse(xml, limits.xmlDepth);
        if (result != EpubResult::kOk) return result;
        packagePath = !reader.package.empty() ? reader.package : reader.first;
        return packagePath.empty() ? EpubResult::kNoPackage : EpubResult::kOk;
    } catch (const std::bad_alloc&) {
        return EpubResult::kNoMemory;
    }
}

bool EpubManifestItem::HasProperty(std::string_view property) const {
    return HasToken(properties, property);
}

EpubResult ParsePackageDocument(std::string_view xml, std::string_view packagePath,
                                const EpubLimits& limits, EpubPackageDocument& out) {
    out = EpubPackageDocument();
    try {
        PackageReader reader(packagePath, limits, out);
        EpubResult result = reader.Parse(xml, limits.xmlDepth);
        if (result != EpubResult::kOk) {
            out = EpubPackageDocument();
            return result;
        }
        for (const auto& [id, scheme] : reader.identifierTypes)
            for (EpubIdentifier& identifier : out.identifiers)
                if (!id.empty() && identifier.id == id) identifier.scheme = scheme;
        return EpubResult::kOk;
    } catch (const std::bad_alloc&) {
        out = EpubPackageDocument();
        return EpubResult::kNoMemory;
    }
}

bool IsValidIsbn(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c == '-' || c == ' ') continue;
        if ((c >= '0' && c <= '9') || ((c == 'X' || c == 'x') && digits.size() == 9))
            digits += c;
        else
            return false;
        if (digits.size() > 13) return false;
    }
    if (digits.size() == 10) {
        int sum = 0;
        for (int i = 0; i < 10; ++i) {
            const char c = digits[size_t(i)];
            const int value = (c == 'X' || c == 'x') ? 10 : c - '0';
            sum += (10 - i) * value;
        }
        return sum % 11 == 0;
    }
    if (digits.size() == 13) {
        if (digits.find_first_of("Xx") != std::string::npos) return false;
        int sum = 0;
        for (int i = 0; i < 13; ++i)
            sum += (digits[size_t(i)] - '0') * (i % 2 ? 3 : 1);
        return sum % 10 == 0;
    }
    return false;
}

EpubMetadata MakeEpubMetadata(const EpubPackageDocument& package) {
    EpubMetadata m;
    m.title = package.title;
    m.creatorList = package.creators;
    for (const std::string& creator : package.creators) {
        if (!m.creators.empty()) m.creators += " & ";
        m.creators += creator;
    }
    m.publisher = package.publisher;
    m.rights = package.rights;
    m.language = package.language;
    m.version = package.version;
    for (const EpubIdentifier& identifier : package.identifiers) {
        if (!package.uniqueIdentifier.empty() && identifier.id == package.uniqueIdentifier) {
            m.identifier = identifier.value;
            break;
        }
    }
    if (m.identifier.empty() && !package.identifiers.empty())
        m.identifier = package.identifiers.front().value;
    for (const EpubIdentifier& identifier : package.identifiers) {
        std::string_view value = identifier.value;
        if (StartsWithIgnoringCase(value, "urn:isbn:")) {
            value.remove_prefix(9);
            m.isbn = CollapseWhitespace(value);
        } else if (EqualIgnoringAsciiCase(identifier.scheme, "isbn") || IsValidIsbn(value)) {
            m.isbn = std::string(value);
        }
        if (!m.isbn.empty()) break;
    }
    return m;
}

EpubResult ParseNavDocument(std::string_view xml, std::string_view navPath,
                            const EpubLimits& limits, std::vector<EpubContentsEntry>& out) {
    out.clear();
    try {
        NavReader reader(navPath, limits, out);
        EpubResult result = reader.Parse(xml, limits.xmlDepth);
        if (result == EpubResult::kOk) reader.Finish();
        return result;
    } catch (const std::bad_alloc&) {
        out.clear();
        return EpubResult::kNoMemory;
    }
}

EpubResult ParseNcx(std::string_view xml, std::string_view ncxPath, const EpubLimits& limits,
                    std::vector<EpubContentsEntry>& out) {
    out.clear();
    try {
        NcxReader reader(ncxPath, limits, out);
        EpubResult result = reader.Parse(xml, limits.xmlDepth);
        if (result == EpubResult::kOk) reader.Finish();
        return result;
    } catch (const std::bad_alloc&) {
        out.clear();
        return EpubResult::kNoMemory;
    }
}

EpubResult ParseEncryptionXml(std::string_view xml, const EpubLimits& limits,
                              std::vector<EpubEncryptedItem>& out) {
    out.clear();
    try {
        EncryptionReader reader(limits, out);
        return reader.Parse(xml, limits.xmlDepth);
    } catch (const std::bad_alloc&) {
        return EpubResult::kNoMemory;
    }
}

bool IsFontObfuscation(std::string_view algorithm) {
    return algorithm == "http://www.idpf.org/2008/embedding" ||
           algorithm == "http://ns.adobe.com/pdf/enc#RC";
}

bool IsFontResource(std::string_view path, std::string_view mediaType) {
    const std::string type = LowerAscii(mediaType);
    if (type.starts_with("font/") || type.starts_with("application/font-") ||
        type.starts_with("application/x-font") || type == "application/vnd.ms-opentype")
        return true;
    const std::string name = LowerAscii(path);
    for (std::string_view ext : {".ttf", ".otf", ".woff", ".woff2", ".ttc"})
        if (name.ends_with(ext)) return true;
    return false;
}

}  // namespace pagewick
