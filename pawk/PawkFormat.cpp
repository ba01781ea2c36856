#include "pawk/PawkFormat.h"

#include <array>

namespace pagewick {

bool PawkIsPictureOrMedia(std::string_view name) {
    if (name.size() < 4) return false;
    std::string tail = PawkFoldCase(name.substr(name.size() - 4));
    // ".bmp", ".mid" and ".mp4" too: the reader shows or plays them, and run through the text
    // steps they would be stored broken.
    static constexpr std::array<std::string_view, 14> kTails = {
        ".png", ".wav", ".gif", ".jpg", "jpeg", ".wma", ".wmv",
        ".mpg", ".mp3", "mpeg", ".avi", ".bmp", ".mid", ".mp4"};
    for (auto t : kTails)
        if (tail == t) return true;
    return false;
}

std::string PawkFoldCase(std::string_view name) {
    std::string out(name);
    for (char& ch : out) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<unsigned char>(c + 32);
        } else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
            c = static_cast<unsigned char>(c + 32);  // Windows-1252 Latin capitals
        } else if (c == 0x8A || c == 0x8C || c == 0x8E) {
            c = static_cast<unsigned char>(c + 16);  // S, OE, Z with caron / ligature
        } else if (c == 0x9F) {
            c = 0xFF;  // Y with diaeresis
        }
        ch = static_cast<char>(c);
    }
    return out;
}

std::string PawkChunkName(std::string_view fileName, int64_t index) {
    std::string out(fileName);
    out += ':';
    out += std::to_string(index);
    return out;
}

}  // namespace pagewick
