// The picture decoder seen by the engine: the size of a picture file, and drawing the whole
// picture stretched into a rectangle of a surface. The engine retries a failed decode once
// after 100 milliseconds (a file just written may not be complete yet).
#pragma once

#include <string>

#include "engine/DrawingSurface.h"

namespace pagewick {

class PictureDecoder {
public:
    virtual ~PictureDecoder() = default;
    // The picture's width and height in pixels; false (and 0 by 0) when the file is no picture
    // this decoder can read, or one too large to decode.
    virtual bool PictureSize(const std::string& path, TextSize& size) = 0;
    // Draws the whole picture stretched into the rectangle; false when it cannot be decoded.
    virtual bool DrawPicture(DrawingSurface& dc, const std::string& path, const Rect& rect) = 0;
};

}  // namespace pagewick
