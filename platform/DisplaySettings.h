// The reading view's display options and their binary file (Wickstand.cfg or Wickpad.cfg in the
// user's configuration folder): little-endian 32-bit words after a version word, the face name as
// a length and its bytes (the handheld's file: a length in characters and UTF-16 code units). Older
// versions are read as far as they go; every field read is checked against its range, and one
// outside it keeps its default.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pagewick {

class CBookEngine;
class Host;

struct DisplaySettings {
    // Which program's file and limits: the handheld keeps its face name in UTF-16, allows
    // fonts up to 26 points and writes nothing after the scroll delay.
    enum class Variant { Desktop, Device };
    Variant variant = Variant::Desktop;

    int32_t bold = 0;
    int32_t fontSize = 14;
    int32_t clearType = 0;
    int32_t fontStyle = 0;  // the "Tahoma" (0) or "Courier" radio button; see Face()
    int32_t showPositionBar = 1;
    int32_t paragraphSpacing = 3;
    int32_t tabSize = 4;
    int32_t leading = 2;
    int32_t borderWidth = 8;
    int32_t borderHeight = 8;
    int32_t showPageNumber = 1;
    int32_t justified = 1;
    int32_t reserved = 0;
    int32_t nightScheme = 0;
    int32_t listHtml = 1;
    int32_t furtherWord = 0;
    int32_t searchZip = 1;
    int32_t showImages = 1;
    std::string faceName = "Arial";
    int32_t furtherWordOne = 1;
    int32_t autoScroll = 0;
    int32_t scrollDelay = 50;
    // Typography, kept in the program's section of the settings store beside the file (whose
    // layout older readers of it know): hyphenation, on by default where text is justified
    // (the desktop), its limits and its language for books that declare none ("" the
    // system's), and paragraph lines kept together at page ends.
    int32_t hyphenate = 1;
    int32_t hyphenMinWord = 6, hyphenMinLeft = 2, hyphenMinRight = 3;
    std::string hyphenationLanguage;
    int32_t keepLinesTogether = 1;
    static constexpr int32_t kMaxHyphenWord = 30, kMaxHyphenFragment = 10;

    static constexpr int32_t kVersion = 6;
    static constexpr int32_t kMinFont = 4, kMaxFont = 72;
    static constexpr int32_t kMaxLayoutValue = 25;
    static constexpr int32_t kMaxDelay = 100;
    static constexpr size_t kMaxFaceBytes = 127;

    static constexpr int32_t kMaxDeviceFont = 26;
    static constexpr int32_t kMaxDeviceFaceChars = 127;

    bool operator==(const DisplaySettings&) const = default;

    // The handheld's defaults: 11-point "Tahoma", narrow borders, no spacing.
    static DisplaySettings DeviceDefaults();
    int32_t MaxFont() const { return variant == Variant::Device ? kMaxDeviceFont : kMaxFont; }
    // The handheld keeps its menu-and-toolbars flag where the desktop keeps a further word.
    bool ShowMenuAndToolbars() const { return furtherWordOne != 0; }

    // The face the fonts are made with: the stored face name ("Arial" when empty), whatever the
    // font style. On the desktop the fixed-pitch style still turns the default "Arial" into
    // "Courier New", so a file written by a person who chose "Courier" reads as it did; a face
    // the person chose is never replaced by the style.
    std::string Face() const {
        const std::string face = faceName.empty() ? "Arial" : faceName;
        if (variant == Variant::Desktop && fontStyle != 0 && face == "Arial") return "Courier New";
        return face;
    }
    // The 32-bit settings signature the document keeps with its pagination.
    uint32_t LayoutSignature() const;
    // Hands the document its signature, settings words and reading font.
    void ApplyTo(pagewick::CBookEngine& doc) const;

    // The file's bytes (version 6) and reading them back; Parse keeps the defaults for what
    // is missing or out of range.
    std::vector<uint8_t> Serialize() const;
    // `defaults` gives the variant and the values kept for what is missing or refused.
    static DisplaySettings Parse(const std::vector<uint8_t>& bytes);
    static DisplaySettings Parse(const std::vector<uint8_t>& bytes,
                                 const DisplaySettings& defaults);
    // $XDG_CONFIG_HOME/Ambervale/Wickstand.cfg (or ~/.config/...).
    static std::filesystem::path DefaultPath();
    // $XDG_CONFIG_HOME/Ambervale/Wickpad.cfg (or ~/.config/...).
    static std::filesystem::path DeviceDefaultPath();
    static DisplaySettings Load(const std::filesystem::path& path);
    static DisplaySettings Load(const std::filesystem::path& path, const DisplaySettings& defaults);
    bool Save(const std::filesystem::path& path) const;
    // The typography from the settings store ("Hyphenate", "HyphenMinWord", "HyphenMinLeft",
    // "HyphenMinRight", "HyphenationLanguage", "KeepLinesTogether" in the program's section);
    // a missing or damaged value keeps the default.
    void LoadTypography(Host& host);
    void SaveTypography(Host& host) const;
};

}  // namespace pagewick
