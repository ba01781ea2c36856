// Pictures for the core tests without an image library: tiny PNG and GIF files whose headers
// give their size, and a decoder that reads only those headers and counts its work.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "engine/PictureDecoder.h"

namespace pagewick::test {

// A PNG signature and header of that size (no pixel data: the fake decoder needs none).
std::string FakePng(uint32_t width, uint32_t height);
// A GIF header of that size.
std::string FakeGif(uint16_t width, uint16_t height);

class FakePictureDecoder : public PictureDecoder {
public:
    std::map<std::string, int> sizeCalls;  // by path
    int drawCalls = 0;

    bool PictureSize(const std::string& path, TextSize& size) override;
    bool DrawPicture(DrawingSurface& dc, const std::string& path, const Rect& rect) override;
};

}  // namespace pagewick::test
