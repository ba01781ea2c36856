#include "platform/DisplaySettings.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string_view>

#include "engine/BookEngine.h"
#include "platform/SettingsStore.h"
#include "util/AtomicFile.h"
#include "util/Host.h"
#include "util/Utf8.h"

namespace pagewick {
namespace {

// Reads little-endian words one after another; a word past the end is not read.
class WordReader {
public:
    explicit WordReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool Word(int32_t& value) {
        if (bytes_.size() - at_ < 4 || at_ > bytes_.size()) return false;
        uint32_t v = uint32_t(bytes_[at_]) | uint32_t(bytes_[at_ + 1]) << 8 |
                     uint32_t(bytes_[at_ + 2]) << 16 | uint32_t(bytes_[at_ + 3]) << 24;
        at_ += 4;
        value = int32_t(v);
        return true;
    }
    // A field with its range: read it, and keep it only when it lies inside.
    bool Field(int32_t& field, int32_t low, int32_t high) {
        int32_t value = 0;
        if (!Word(value)) return false;
        if (value >= low && value <= high) field = value;
        return true;
    }
    bool Flag(int32_t& field) { return Field(field, 0, 1); }
    bool Any(int32_t& field) { return Field(field, INT32_MIN, INT32_MAX); }
    bool Bytes(size_t count, std::string& out) {
        if (bytes_.size() - at_ < count) return false;
        out.assign(reinterpret_cast<const char*>(bytes_.data() + at_), count);
        at_ += count;
        return true;
    }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

void PutWord(std::vector<uint8_t>& out, int32_t value) {
    uint32_t v = uint32_t(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(v >> shift));
}

}  // namespace

uint32_t DisplaySettings::LayoutSignature() const {
    uint32_t a = uint32_t(showImages);
    a = uint32_t(reserved) + 2 * a;
    a = uint32_t(justified) + 2 * a;
    a = uint32_t(nightScheme) + 2 * a;
    a = 16 * a + uint32_t(leading);
    a = uint32_t(tabSize) + 4 * a;
    a = uint32_t(paragraphSpacing) + 8 * a;
    a = uint32_t(showPageNumber) + 2 * a;
    a = 64 * a + uint32_t(fontSize);
    a = uint32_t(showPositionBar) + 8 * a;
    a = uint32_t(fontStyle) + 8 * a;
    a = uint32_t(clearType) + 2 * a;
    uint32_t signature =
        ((uint32_t(borderWidth + borderHeight) << 22) & 0xC00000u) + 2 * a + uint32_t(bold);
    if (variant == Variant::Device) {
        for (char16_t unit : pagewick::Utf8ToUtf16(faceName))
            signature += uint32_t(uint16_t(unit));
    } else {
        for (char c : faceName)
            signature += uint32_t(int32_t(static_cast<signed char>(c)));
    }
    // The typography: any change of it gives another signature.
    uint32_t typography = 2166136261u;
    for (int32_t value :
         {hyphenate, keepLinesTogether, hyphenMinWord, hyphenMinLeft, hyphenMinRight})
        typography = (typography ^ uint32_t(value)) * 16777619u;
    for (char c : hyphenationLanguage)
        typography = (typography ^ uint8_t(c)) * 16777619u;
    return signature + typography;
}

void DisplaySettings::ApplyTo(pagewick::CBookEngine& doc) const {
    doc.LayoutSignature = LayoutSignature();
    doc.ShowPositionBar = showPositionBar;
    doc.ShowPageNumber = showPageNumber;
    doc.Leading = leading;
    doc.TabSize = tabSize;
    doc.ParagraphSpacing = paragraphSpacing;
    doc.NightScheme = nightScheme;
    doc.ShowImages = showImages != 0;
    doc.Justified = justified;
    doc.Hyphenate = hyphenate != 0;
    doc.HyphenationLanguage = hyphenationLanguage;
    doc.HyphenLimits = {hyphenMinWord, hyphenMinLeft, hyphenMinRight};
    doc.KeepLinesTogether = keepLinesTogether != 0;
    doc.KeepPageEndWhole = true;
    doc.SoftHyphens = true;
    doc.DetectHardWrap = true;
    doc.SetReadingFont(Face(), fontSize);
    for (size_t i = 0; i < doc.ReadingFonts.size(); ++i) {
        if (bold) doc.ReadingFonts[i].bold = true;
        doc.ReadingFonts[i].clearType = clearType != 0;
    }
}

std::vector<uint8_t> DisplaySettings::Serialize() const {
    std::vector<uint8_t> out;
    for (int32_t word :
         {kVersion, bold, fontSize, clearType, fontStyle, showPositionBar, paragraphSpacing,
          tabSize, leading, borderWidth, borderHeight, showPageNumber, justified, reserved,
          nightScheme, listHtml, furtherWord, searchZip, showImages})
        PutWord(out, word);
    if (variant == Variant::Device) {
        std::u16string face = pagewick::Utf8ToUtf16(faceName);
        face.resize(std::min(face.size(), size_t(kMaxDeviceFaceChars)));
        PutWord(out, int32_t(face.size()));
        for (char16_t unit : face) {
            out.push_back(uint8_t(unit));
            out.push_back(uint8_t(unit >> 8));
        }
        for (int32_t word : {furtherWordOne, autoScroll, scrollDelay})
            PutWord(out, word);
        return out;
    }
    std::string face = faceName.substr(0, kMaxFaceBytes);
    PutWord(out, int32_t(face.size()));
    out.insert(out.end(), face.begin(), face.end());
    for (int32_t word : {furtherWordOne, autoScroll, scrollDelay, scrollDelay})
        PutWord(out, word);
    return out;
}

void DisplaySettings::LoadTypography(pagewick::Host& host) {
    const std::string section = host.ProgramSection();
    auto number = [&](const char* name, int32_t& field, int32_t low, int32_t high) {
        std::string text = host.GetSetting(section, name, "");
        if (text.empty() || text.size() > 3 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return;
        int32_t value = std::stoi(text);
        if (value >= low && value <= high) field = value;
    };
    number("Hyphenate", hyphenate, 0, 1);
    number("HyphenMinWord", hyphenMinWord, 1, kMaxHyphenWord);
    number("HyphenMinLeft", hyphenMinLeft, 1, kMaxHyphenFragment);
    number("HyphenMinRight", hyphenMinRight, 1, kMaxHyphenFragment);
    number("KeepLinesTogether", keepLinesTogether, 0, 1);
    // A language tag: letters, digits, "-" and "_" (a locale name's "." and "@" parts are
    // left to the hyphenator, which ignores them); anything else keeps the default.
    std::string language = host.GetSetting(section, "HyphenationLanguage", "");
    if (language.size() <= 35 && std::all_of(language.begin(), language.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '_';
        }))
        hyphenationLanguage = language;
}

void DisplaySettings::SaveTypography(pagewick::Host& host) const {
    const std::string section = host.ProgramSection();
    host.SetSetting(section, "Hyphenate", hyphenate ? "1" : "0");
    host.SetSetting(section, "HyphenMinWord", std::to_string(hyphenMinWord));
    host.SetSetting(section, "HyphenMinLeft", std::to_string(hyphenMinLeft));
    host.SetSetting(section, "HyphenMinRight", std::to_string(hyphenMinRight));
    host.SetSetting(section, "HyphenationLanguage", hyphenationLanguage);
    host.SetSetting(section, "KeepLinesTogether", keepLinesTogether ? "1" : "0");
}

DisplaySettings DisplaySettings::DeviceDefaults() {
    DisplaySettings s;
    s.variant = Variant::Device;
    s.fontSize = 11;
    s.paragraphSpacing = 0;
    s.tabSize = 1;
    s.leading = 0;
    s.borderWidth = 3;
    s.borderHeight = 0;
    s.justified = 0;
    s.hyphenate = 0;  // ragged text by default, so no hyphenation either
    s.searchZip = 0;
    s.faceName = "Tahoma";
    return s;
}

DisplaySettings DisplaySettings::Parse(const std::vector<uint8_t>& bytes) {
    return Parse(bytes, DisplaySettings());
}

DisplaySettings DisplaySettings::Parse(const std::vector<uint8_t>& bytes,
                                       const DisplaySettings& defaults) {
    DisplaySettings s = defaults;
    const bool device = s.variant == Variant::Device;
    WordReader in(bytes);
    int32_t version = 1;
    if (!in.Word(version)) version = 1;
    bool ok = in.Flag(s.bold) && in.Field(s.fontSize, kMinFont, s.MaxFont()) &&
              in.Flag(s.clearType) && in.Any(s.fontStyle) && in.Flag(s.showPositionBar);
    if (ok && version > 1)
        ok = in.Field(s.paragraphSpacing, 0, kMaxLayoutValue) &&
             in.Field(s.tabSize, 0, kMaxLayoutValue) && in.Field(s.leading, 0, kMaxLayoutValue) &&
             in.Field(s.borderWidth, 0, kMaxLayoutValue) &&
             in.Field(s.borderHeight, 0, kMaxLayoutValue) && in.Flag(s.showPageNumber) &&
             in.Flag(s.justified) && in.Any(s.reserved) && in.Flag(s.nightScheme);
    if (ok && version > 2)
        ok = in.Flag(s.listHtml) && in.Any(s.furtherWord) && in.Flag(s.searchZip);
    if (ok && version > 3) ok = in.Flag(s.showImages);
    if (ok && version > 4 && device) {
        // A length in characters, then UTF-16 code units; the field holds 127 characters and
        // its end mark, so a longer (damaged) length keeps the default face and is passed over.
        int32_t length = 0;
        std::string units;
        ok = in.Word(length) && length >= 0 && length <= INT32_MAX / 2 &&
             in.Bytes(size_t(length) * 2, units);
        if (ok && length <= kMaxDeviceFaceChars) {
            std::u16string face;
            for (size_t i = 0; i + 1 < units.size(); i += 2) {
                char16_t unit = char16_t(uint8_t(units[i]) | uint8_t(units[i + 1]) << 8);
                if (unit == 0) break;
                // Font names are 16-bit text; a surrogate (never a face name) would not survive
                // the trip through UTF-8, so it stands as the replacement character.
                face += unit >= 0xD800 && unit <= 0xDFFF ? char16_t(0xFFFD) : unit;
            }
            s.faceName = pagewick::Utf16ToUtf8(face);
        }
    } else if (ok && version > 4) {
        int32_t length = 0;
        std::string face;
        ok = in.Word(length) && length >= 0 && in.Bytes(size_t(length), face);
        // A face name too long for its field is passed over; the rest of the file still counts.
        if (ok && face.size() <= kMaxFaceBytes) s.faceName = face.substr(0, face.find('\0'));
    }
    if (ok && version > 5)
        ok = in.Any(s.furtherWordOne) && in.Flag(s.autoScroll) &&
             in.Field(s.scrollDelay, 0, kMaxDelay);
    if (s.faceName.empty()) s.faceName = device ? defaults.faceName : "Arial";
    if (s.faceName.empty()) s.faceName = "Arial";
    return s;
}

std::filesystem::path DisplaySettings::DefaultPath() {
    return pagewick::SettingsStore::DefaultPath().parent_path() / "Wickstand.cfg";
}

std::filesystem::path DisplaySettings::DeviceDefaultPath() {
    return pagewick::SettingsStore::DefaultPath().parent_path() / "Wickpad.cfg";
}

DisplaySettings DisplaySettings::Load(const std::filesystem::path& path) {
    return Load(path, DisplaySettings());
}

DisplaySettings DisplaySettings::Load(const std::filesystem::path& path,
                                      const DisplaySettings& defaults) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return defaults;
    std::vector<uint8_t> bytes;
    char buffer[4096];
    // The file is small; a damaged huge one is read only as far as any version could reach.
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > 64 * 1024) break;
    }
    return Parse(bytes, defaults);
}

bool DisplaySettings::Save(const std::filesystem::path& path) const {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::vector<uint8_t> bytes = Serialize();
    return pagewick::WriteFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace pagewick
