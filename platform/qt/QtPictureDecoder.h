// PictureDecoder over Qt's image readers: GIF, PNG, JPEG and BMP by their content, whatever
// the file's name, with Qt's image allocation limit in force.
#pragma once

#include <QImage>
#include <QSize>
#include <string>

#include "engine/PictureDecoder.h"

namespace pagewick {

class QtPictureDecoder : public PictureDecoder {
public:
    // Reads only the picture's header.
    bool PictureSize(const std::string& path, TextSize& size) override;
    // Decodes through the surface (QtSurface::DrawPicture reads with ReadPicture).
    bool DrawPicture(DrawingSurface& dc, const std::string& path, const Rect& rect) override;
};

// The picture decoded for drawing at the given size (a reader that can decode smaller does);
// a null image when it cannot be decoded or would pass the allocation limit.
QImage ReadPicture(const std::string& path, QSize target);

}  // namespace pagewick
