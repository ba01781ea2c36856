#include "EpubMaker.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>

#include "support/fixtures.h"

namespace pagewick::test {

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}
void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

size_t HeaderOf(const std::vector<uint8_t>& zip, const std::string& name, uint32_t signature,
                size_t nameAt, size_t lengthAt) {
    for (size_t at = 0; at + nameAt + name.size() <= zip.size(); ++at) {
        if (Le32(zip, at) == signature && Le16(zip, at + lengthAt) == name.size() &&
            std::memcmp(&zip[at + nameAt], name.data(), name.size()) == 0)
            return at;
    }
    ADD_FAILURE() << "no header for " << name;
    return 0;
}

}  // namespace

EpubMaker::EpubMaker(bool standardHead) {
    if (!standardHead) return;
    Add("mimetype", "application/epub+zip", true);
    Add("META-INF/container.xml",
        "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
        "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
        "<rootfile full-path=\"OEBPS/content.opf\" "
        "media-type=\"application/oebps-package+xml\"/></rootfiles></container>");
}

EpubMaker& EpubMaker::Add(const std::string& name, const std::string& data, bool store) {
    members_.push_back({name, data, store});
    return *this;
}

std::vector<uint8_t> EpubMaker::Bytes() const {
    TempDir dir;
    const std::string path = (dir / "book.epub").string();
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(z, nullptr);
    if (!z) return {};
    for (const Member& m : members_) {
        zip_source_t* source = zip_source_buffer(z, m.data.data(), m.data.size(), 0);
        zip_int64_t index = zip_file_add(z, m.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        EXPECT_GE(index, 0) << m.name;
        zip_set_file_compression(z, zip_uint64_t(index), m.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 9);
    }
    EXPECT_EQ(zip_close(z), 0);
    return ReadFileBytes(path);
}

std::string PackageXml(const std::string& metadata, const std::string& manifest,
                       const std::string& spine, const std::string& spineAttributes,
                       const std::string& extra, const std::string& version) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"" +
           version +
           "\" unique-identifier=\"uid\">"
           "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:opf=\"http://www.idpf.org/2007/opf\">" +
           metadata + "</metadata><manifest>" + manifest + "</manifest><spine" + spineAttributes +
           ">" + spine + "</spine>" + extra + "</package>";
}

std::string Chapter(const std::string& text) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<html "
           "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>t</title></head><body><p>" +
           text + "</p></body></html>";
}

std::string Item(const std::string& id, const std::string& href, const std::string& mediaType,
                 const std::string& properties) {
    std::string item =
        "<item id=\"" + id + "\" href=\"" + href + "\" media-type=\"" + mediaType + "\"";
    if (!properties.empty()) item += " properties=\"" + properties + "\"";
    return item + "/>";
}

std::string Itemref(const std::string& idref, bool linear) {
    return "<itemref idref=\"" + idref + "\"" + (linear ? "" : " linear=\"no\"") + "/>";
}

std::vector<uint8_t> ChapterBook(int chapters, size_t size) {
    EpubMaker book;
    std::string manifest = Item("ncx", "toc.ncx", "application/x-dtbncx+xml"), spine, points;
    for (int i = 1; i <= chapters; ++i) {
        const std::string n = std::to_string(i);
        manifest += Item("c" + n, "c" + n + ".xhtml");
        spine += Itemref("c" + n);
        points += "<navPoint><navLabel><text>Chapter " + n + "</text></navLabel><content src=\"c" +
                  n + ".xhtml\"/></navPoint>";
        std::string text = "Chapter " + n + ".";
        while (text.size() < size)
            text += " Words of chapter " + n + " and its number " + std::to_string(text.size());
        book.Add("OEBPS/c" + n + ".xhtml", Chapter(text));
    }
    book.Add("OEBPS/content.opf", PackageXml("<dc:title>Chapters</dc:title>", manifest, spine,
                                             " toc=\"ncx\"", "", "2.0"));
    book.Add("OEBPS/toc.ncx", "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>" +
                                  points + "</navMap></ncx>");
    return book.Bytes();
}

size_t LocalHeaderOf(const std::vector<uint8_t>& zip, const std::string& name) {
    return HeaderOf(zip, name, 0x04034b50, 30, 26);
}

size_t CentralHeaderOf(const std::vector<uint8_t>& zip, const std::string& name) {
    return HeaderOf(zip, name, 0x02014b50, 46, 28);
}

void FlipDataByte(std::vector<uint8_t>& zip, const std::string& name) {
    const size_t at = LocalHeaderOf(zip, name);
    const size_t data = at + 30 + Le16(zip, at + 26) + Le16(zip, at + 28);
    zip[data + Le32(zip, at + 18) / 2] ^= 0x01;
}

void ClaimSize(std::vector<uint8_t>& zip, const std::string& name, uint32_t size) {
    PutLe32(zip, LocalHeaderOf(zip, name) + 22, size);
    PutLe32(zip, CentralHeaderOf(zip, name) + 24, size);
}

uint32_t StoredSize(const std::vector<uint8_t>& zip, const std::string& name) {
    return Le32(zip, CentralHeaderOf(zip, name) + 20);
}

size_t CentralDirectoryStart(const std::vector<uint8_t>& zip) {
    for (size_t at = zip.size() - 22;; --at) {
        if (Le32(zip, at) == 0x06054b50) return Le32(zip, at + 16);
        if (at == 0) break;
    }
    ADD_FAILURE() << "no end of central directory";
    return zip.size();
}

std::vector<uint8_t> StreamedWithoutDirectory(const std::vector<uint8_t>& zip) {
    std::vector<uint8_t> out;
    auto put32 = [&out](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    size_t at = 0;
    for (int n = 0; at + 30 <= zip.size() && Le32(zip, at) == 0x04034b50; ++n) {
        const size_t names = size_t(Le16(zip, at + 26)) + Le16(zip, at + 28);
        const uint32_t crc = Le32(zip, at + 14), stored = Le32(zip, at + 18),
                       size = Le32(zip, at + 22);
        const size_t header = out.size();
        out.insert(out.end(), zip.begin() + at, zip.begin() + at + 30 + names + stored);
        out[header + 6] |= 0x08;
        for (size_t i = 14; i < 26; ++i)
            out[header + i] = 0;
        if (n % 2 == 0) put32(0x08074b50);
        put32(crc);
        put32(stored);
        put32(size);
        at += 30 + names + stored;
    }
    return out;
}

}  // namespace pagewick::test
