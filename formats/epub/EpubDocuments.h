// The XML documents that describe an EPUB, each parsed from bytes in memory into plain records:
// the container (which package), the package (metadata, manifest, spine, guide), the contents
// (the navigation document's toc, or the NCX) and the encryption list. Nothing here reads the
// archive; EpubPackage puts the pieces together.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/epub/EpubLimits.h"
#include "formats/epub/EpubResult.h"

namespace pagewick {

// META-INF/container.xml: the full-path of the package, as written (the first rootfile whose
// media type is the OPF package's, else the first rootfile). kNoPackage when it names none.
EpubResult ParseContainerXml(std::string_view xml, const EpubLimits& limits,
                             std::string& packagePath);

struct EpubManifestItem {
    std::string id;
    std::string href;  // as the package writes it
    std::string path;  // resolved against the package's folder ("" when it leaves the container)
    std::string mediaType;
    std::string properties;  // EPUB 3's space-separated list ("nav", "cover-image", ...)
    bool HasProperty(std::string_view property) const;
};

struct EpubSpineRef {
    std::string idref;
    bool linear = true;  // false for linear="no"
};

struct EpubIdentifier {
    std::string id;
    std::string scheme;  // opf:scheme, or "ISBN" when an EPUB 3 refinement says so
    std::string value;
};

// The package document as written, every text with its white space collapsed.
struct EpubPackageDocument {
    std::string version;
    std::string uniqueIdentifier;                    // the id the package names as its identifier
    std::string title, publisher, rights, language;  // the first of each
    std::vector<std::string> creators;
    std::vector<EpubIdentifier> identifiers;
    std::vector<EpubManifestItem> manifest;
    std::vector<EpubSpineRef> spine;
    std::string spineToc;  // the spine's toc attribute: the NCX's manifest id
    std::string
        coverMeta;  // content of <meta name="cover">: a manifest id (or, some write, a path)
    std::string guideCover;  // the guide's cover reference as a container path
};

// The package at packagePath (a container path; hrefs are resolved against its folder).
// kBadXml, kTooMany when it lists more than the limit of manifest, spine or metadata items.
EpubResult ParsePackageDocument(std::string_view xml, std::string_view packagePath,
                                const EpubLimits& limits, EpubPackageDocument& out);

// What a reader shows of the package: title, creators joined with " & ", publisher, the
// package's identifier, the ISBN when one is recognised, rights, language, package version.
struct EpubMetadata {
    std::string title;
    std::string creators;
    std::vector<std::string> creatorList;
    std::string publisher;
    std::string identifier;
    std::string isbn;
    std::string rights;
    std::string language;
    std::string version;
};
EpubMetadata MakeEpubMetadata(const EpubPackageDocument& package);

// A bare ISBN: 10 or 13 digits (an ISBN-10 may end in X), hyphens and spaces allowed between
// them, with a valid check digit.
bool IsValidIsbn(std::string_view text);

// One line of the contents, nested entries flattened in document order.
struct EpubContentsEntry {
    std::string title;     // UTF-8, white space collapsed
    std::string path;      // the container path it leads to ("" when it leads nowhere)
    std::string fragment;  // the place in that file, decoded ("" for the file's start)
    int level = 0;         // 0 for a top entry, 1 for its children, ...
};

// The toc nav of an EPUB 3 navigation document at navPath: one entry per list item with a
// label (a link, or a heading span leading nowhere). Stops at the limit of entries, keeping
// those read. kBadXml for a document that cannot be read.
EpubResult ParseNavDocument(std::string_view xml, std::string_view navPath,
                            const EpubLimits& limits, std::vector<EpubContentsEntry>& out);

// The navMap of an NCX at ncxPath: one entry per navPoint with a label.
EpubResult ParseNcx(std::string_view xml, std::string_view ncxPath, const EpubLimits& limits,
                    std::vector<EpubContentsEntry>& out);

// META-INF/encryption.xml: each encrypted resource (a container path, "" when its URI leaves
// the container) and its algorithm. What was read before an error is kept.
struct EpubEncryptedItem {
    std::string path;
    std::string algorithm;
};
EpubResult ParseEncryptionXml(std::string_view xml, const EpubLimits& limits,
                              std::vector<EpubEncryptedItem>& out);

// The two font obfuscations (the IDPF's and Adobe's): fonts made unusable outside their book,
// which is no protection of the book.
bool IsFontObfuscation(std::string_view algorithm);
// A font, by its media type or its name's extension.
bool IsFontResource(std::string_view path, std::string_view mediaType);

}  // namespace pagewick
