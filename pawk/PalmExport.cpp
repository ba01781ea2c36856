#include "pawk/PalmExport.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "util/AtomicFile.h"

namespace pagewick {

namespace {

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void Be16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void Be32(std::vector<uint8_t>& out, uint32_t v) {
    Be16(out, v >> 16);
    Be16(out, v & 0xFFFF);
}

void Tag(std::vector<uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

}  // namespace

std::filesystem::path PalmOutputPath(const std::filesystem::path& book) {
    std::filesystem::path out = book;
    out += ".pdb";
    return out;
}

uint32_t PalmTimeNow() {
    return uint32_t(uint64_t(std::time(nullptr)) + kPalmEpochOffset);
}

PalmExportResult WritePalmDatabase(const std::filesystem::path& book, const std::string& title,
                                   const std::filesystem::path& output, uint32_t created) {
    std::unique_ptr<std::FILE, Closer> in(std::fopen(book.string().c_str(), "rb"));
    if (!in || std::fseek(in.get(), 0, SEEK_END) != 0)
        return {PalmExportStatus::CannotOpenBook, "Cannot open ebook file."};
    const long end = std::ftell(in.get());
    if (end < 0 || std::fseek(in.get(), 0, SEEK_SET) != 0)
        return {PalmExportStatus::CannotOpenBook, "Cannot open ebook file."};
    const uint64_t length = uint64_t(end);
    // One record more than the whole 4,096-byte blocks: a book of an exact multiple ends with an
    // empty record.
    const uint64_t records = length / kPalmRecordData + 1;
    if (records > kPalmMaxRecords)
        return {PalmExportStatus::TooManyRecords,
                "This eBook is too large for a Palm OS device: a Palm database holds at most "
                "65,535 records of 4,096 bytes."};
    const uint32_t n = uint32_t(records);

    std::vector<uint8_t> head;
    head.reserve(80 + 8 * size_t(n));
    char name[32] = {};
    for (size_t i = 0; i < 31 && i < title.size(); ++i)
        name[i] = title[i];
    head.insert(head.end(), name, name + 32);
    Be16(head, 0x0080);  // attributes: the backup bit
    Be16(head, 0);       // version
    Be32(head, created);
    Be32(head, created);
    Be32(head, 0);  // last backup
    Be32(head, 0);  // modification number
    Be32(head, 0);  // application info
    Be32(head, 0);  // sort info
    Tag(head, "PAWK");
    Tag(head, "PAWK");
    Be32(head, 0x10000000);  // unique ID seed
    Be32(head, 0);           // next record list
    Be16(head, n);
    const uint32_t first = 80 + 8 * n;
    for (uint32_t i = 0; i < n; ++i) {
        Be32(head, first + (kPalmRecordData + 8) * i);
        Be32(head, 0x40776001u + i);
    }
    Be16(head, 0);  // gap

    AtomicFile out(output);
    if (!out.IsOpen())
        return {PalmExportStatus::CannotCreateOutput,
                "Cannot create the Palm database " + output.string() + "."};
    if (!out.Write(head.data(), head.size()))
        return {PalmExportStatus::WriteFailed, "Cannot write " + output.string() + "."};
    std::vector<uint8_t> record(8 + kPalmRecordData);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t want =
            uint32_t(std::min<uint64_t>(kPalmRecordData, length - uint64_t(i) * kPalmRecordData));
        size_t got = want ? std::fread(record.data() + 8, 1, want, in.get()) : 0;
        // A book that shrank while it was copied would leave records out of step.
        if (got != want) return {PalmExportStatus::CannotOpenBook, "Cannot read ebook file."};
        record[0] = 'D', record[1] = 'B', record[2] = 'L', record[3] = 'K';
        record[4] = uint8_t(got >> 24), record[5] = uint8_t(got >> 16);
        record[6] = uint8_t(got >> 8), record[7] = uint8_t(got);
        if (!out.Write(record.data(), 8 + got))
            return {PalmExportStatus::WriteFailed, "Cannot write " + output.string() + "."};
    }
    if (!out.Commit())
        return {PalmExportStatus::WriteFailed, "Cannot write " + output.string() + "."};
    return {};
}

}  // namespace pagewick
