// Small EPUBs made inside the tests: members written by libzip, a package assembled from its
// parts, and the damage a test needs patched into the archive's bytes afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pagewick::test {

class EpubMaker {
public:
    // A book with the mimetype and a container naming OEBPS/content.opf (unless told otherwise).
    explicit EpubMaker(bool standardHead = true);
    // Adds a member; stored ones are written uncompressed.
    EpubMaker& Add(const std::string& name, const std::string& data, bool store = false);
    // The archive's bytes.
    std::vector<uint8_t> Bytes() const;

private:
    struct Member {
        std::string name, data;
        bool store;
    };
    std::vector<Member> members_;
};

// The package: version 3.0 unless given; items and itemrefs as written.
std::string PackageXml(const std::string& metadata, const std::string& manifest,
                       const std::string& spine, const std::string& spineAttributes = "",
                       const std::string& extra = "", const std::string& version = "3.0");
// A content file whose body is the text.
std::string Chapter(const std::string& text);
// <item .../> and <itemref .../>.
std::string Item(const std::string& id, const std::string& href,
                 const std::string& mediaType = "application/xhtml+xml",
                 const std::string& properties = "");
std::string Itemref(const std::string& idref, bool linear = true);

// A book of n chapters ("c1" ... in OEBPS/cN.xhtml), each `size` bytes or so, with an NCX.
std::vector<uint8_t> ChapterBook(int chapters, size_t size = 200);

// Patches: where a member's local header and central directory entry lie, a byte of its data
// flipped, the sizes it claims, and the central directory cut off.
size_t LocalHeaderOf(const std::vector<uint8_t>& zip, const std::string& name);
size_t CentralHeaderOf(const std::vector<uint8_t>& zip, const std::string& name);
void FlipDataByte(std::vector<uint8_t>& zip, const std::string& name);
void ClaimSize(std::vector<uint8_t>& zip, const std::string& name, uint32_t size);
uint32_t StoredSize(const std::vector<uint8_t>& zip, const std::string& name);
size_t CentralDirectoryStart(const std::vector<uint8_t>& zip);
// The members rewritten as a writer that cannot seek writes them: sizes and CRC after the data
// in a data descriptor (every other one without its signature), and no central directory.
std::vector<uint8_t> StreamedWithoutDirectory(const std::vector<uint8_t>& zip);

}  // namespace pagewick::test
