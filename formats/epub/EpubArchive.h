// The ZIP archive an EPUB lives in, through libzip: the directory read once at open, and members
// inflated on request, never all at once, with the bomb limits checked while inflating and the
// CRC checked at the end. A member that fails gives its error alone; the rest stay readable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/epub/EpubLimits.h"
#include "formats/epub/EpubResult.h"

struct zip;

namespace pagewick {

// A member as the archive's directory describes it. The sizes are the directory's claims: they
// serve for measuring and for refusing early, and inflating checks them again.
struct EpubMember {
    std::string name;         // its path in the container, normalised
    uint64_t index = 0;       // its place in the ZIP directory
    uint64_t size = 0;        // uncompressed
    uint64_t storedSize = 0;  // compressed, as it lies in the archive
    bool encrypted = false;   // ZIP-level encryption (a password we do not have)
};

class EpubArchive {
public:
    explicit EpubArchive(const EpubLimits& limits = {});
    ~EpubArchive();
    EpubArchive(const EpubArchive&) = delete;
    EpubArchive& operator=(const EpubArchive&) = delete;

    // Opens the archive and reads its directory. kDamaged for a file that is no ZIP archive or
    // whose central directory is missing or cut short, unless the members can be found from
    // their local headers (then the archive opens with those, and Recovered() says so);
    // kReadFailed for a file that cannot be opened.
    EpubResult OpenFile(const std::string& path);
    // The same over bytes in memory, which the archive keeps.
    EpubResult OpenMemory(std::vector<uint8_t> bytes);
    void Close();
    bool IsOpen() const { return zip_ != nullptr; }
    // True when the directory was rebuilt from the members' local headers.
    bool Recovered() const { return recovered_; }

    // Every file member in directory order (folders and members whose names would leave the
    // container are left out; of two members with one name the first counts).
    const std::vector<EpubMember>& Members() const { return members_; }
    // The member of this normalised path: the exact name, else the only member whose name
    // matches it with ASCII case ignored (books made on file systems that ignore case refer to
    // "Text/Ch1.html" as "text/ch1.html"); nullptr when there is none or the match is ambiguous.
    const EpubMember* Find(std::string_view path) const;

    // Inflates the member piece by piece into sink, which answers false to stop early (the
    // result is then kOk). Refuses, before and while inflating, more than maxBytes or the
    // limits allow; kBadChecksum when the bytes do not match the member's CRC or stated size;
    // kDamaged when its compressed data is broken; kProtected when it is encrypted.
    using Sink = std::function<bool(const char* data, size_t size)>;
    EpubResult Stream(const EpubMember& member, uint64_t maxBytes, const Sink& sink);
    // The whole member into out (empty on failure).
    EpubResult Read(const EpubMember& member, std::string& out, uint64_t maxBytes);
    // By path: kUnsafePath for a path that is absolute or climbs out, kNotFound when absent.
    EpubResult Read(std::string_view path, std::string& out);
    // Writes the member to outFile (created, or emptied when it is there; a symbolic link is
    // refused). The file is removed again when anything fails.
    EpubResult Extract(std::string_view path, const std::string& outFile);

    const EpubLimits& Limits() const { return limits_; }
    // How many times a member was inflated since the archive opened (for tests and benchmarks).
    uint64_t Inflations() const { return inflations_; }

private:
    EpubResult OpenBuffer(int& zipError);
    EpubResult RecoverFromLocalHeaders(std::vector<uint8_t> bytes);
    EpubResult ReadDirectory();

    EpubLimits limits_;
    zip* zip_ = nullptr;
    std::vector<uint8_t> memory_;  // the bytes a memory archive is read from
    bool recovered_ = false;
    std::vector<EpubMember> members_;
    std::unordered_map<std::string, size_t> byName_;
    // Names with A-Z folded; SIZE_MAX where two members fold to one name.
    std::unordered_map<std::string, size_t> byFoldedName_;
    std::vector<char> buffer_;
    uint64_t inflations_ = 0;
};

}  // namespace pagewick
