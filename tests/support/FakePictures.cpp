#include "support/FakePictures.h"

#include <fstream>
#include <iterator>

namespace pagewick::test {

std::string FakePng(uint32_t width, uint32_t height) {
    std::string bytes = "\x89PNG\r\n\x1a\n";
    bytes += std::string("\0\0\0\x0dIHDR", 8);
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += char(v >> shift & 255);
    bytes += std::string("\x08\x02\0\0\0", 5);
    return bytes;
}

std::string FakeGif(uint16_t width, uint16_t height) {
    std::string bytes = "GIF89a";
    for (uint16_t v : {width, height}) {
        bytes += char(v & 255);
        bytes += char(v >> 8);
    }
    return bytes + std::string("\0\0\0", 3);
}

bool FakePictureDecoder::PictureSize(const std::string& path, TextSize& size) {
    ++sizeCalls[path];
    size = TextSize{};
    std::ifstream in(path, std::ios::binary);
    std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u8 = [&](size_t i) { return uint32_t(uint8_t(b[i])); };
    if (b.size() >= 24 && b.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
        size.cx = int(u8(16) << 24 | u8(17) << 16 | u8(18) << 8 | u8(19));
        size.cy = int(u8(20) << 24 | u8(21) << 16 | u8(22) << 8 | u8(23));
    } else if (b.size() >= 10 && b.compare(0, 3, "GIF") == 0) {
        size.cx = int(u8(6) | u8(7) << 8);
        size.cy = int(u8(8) | u8(9) << 8);
    }
    return size.cx > 0 && size.cy > 0;
}

bool FakePictureDecoder::DrawPicture(DrawingSurface& dc, const std::string& path,
                                     const Rect& rect) {
    ++drawCalls;
    TextSize size;
    int before = sizeCalls[path];
    bool ok = PictureSize(path, size);
    sizeCalls[path] = before;  // drawing is not measuring
    return ok && dc.DrawPicture(path, rect);
}

}  // namespace pagewick::test
