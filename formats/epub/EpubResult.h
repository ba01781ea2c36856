// Results of the EPUB layer. Every operation answers one of these; nothing is thrown past this
// layer and nothing is printed. The values are negative and distinct from the LIT container's,
// so a code seen in a log says which layer gave it.
#pragma once

namespace pagewick {

enum class EpubResult : int {
    kOk = 0,
    kDamaged = -3001,      // not a ZIP archive, cut short, or its central directory unreadable
    kNoContainer = -3002,  // no META-INF/container.xml (and no lone package to fall back on)
    kNoPackage = -3003,    // the container names no package, or one the archive lacks
    kBadXml = -3004,       // a document that is not well-formed XML, or one we refuse to read:
                           // entity declarations, elements nested deeper than the limit
    kNoSpine = -3005,      // the spine names no file the archive holds
    kProtected = -3006,    // DRM: META-INF/rights.xml, or encrypted content files
    kTooLarge = -3007,     // a member inflating past the byte or ratio limit, a document past
                           // its size limit
    kTooMany = -3008,      // more manifest or spine items than the limit
    kBadChecksum = -3009,  // a member whose bytes do not match its CRC or its stated size
    kNotFound = -3010,     // no such member in the archive
    kUnsafePath = -3011,   // a path that is absolute or climbs out of the container
    kReadFailed = -3012,   // the file cannot be opened or read, or the archive library failed
    kNoMemory = -3013,     // an allocation failed
    kWriteFailed = -3014,  // an extracted member could not be written to its file
};

// A short name for a result ("ok", "damaged", "protected", ...), for logs and test output.
const char* EpubResultName(EpubResult result);

// The message a reader shows when a book fails to open with this result: the DRM text for a
// protected book, the damaged text for every other failure, "" for kOk.
const char* EpubOpenMessage(EpubResult result);

inline constexpr const char* kEpubProtectedMessage =
    "This eBook is protected (DRM) and cannot be opened.";
inline constexpr const char* kEpubDamagedMessage = "This eBook is damaged and cannot be opened.";

}  // namespace pagewick
