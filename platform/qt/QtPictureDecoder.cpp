#include "platform/qt/QtPictureDecoder.h"

#include <QImageReader>

namespace pagewick {

namespace {

// A picture whose decoded pixels would pass Qt's allocation limit is no picture here: it would
// fail to draw, so it takes no room either.
bool WithinLimit(QSize size) {
    if (!size.isValid() || size.isEmpty()) return false;
    const int limitMb = QImageReader::allocationLimit();
    if (limitMb <= 0) return true;
    const double bytes = double(size.width()) * double(size.height()) * 4.0;
    return bytes <= double(limitMb) * 1024.0 * 1024.0;
}

}  // namespace

bool QtPictureDecoder::PictureSize(const std::string& path, TextSize& size) {
    size = TextSize{};
    QImageReader reader(QString::fromStdString(path));
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) return false;
    QSize found = reader.size();
    if (!WithinLimit(found)) return false;
    size = TextSize{found.width(), found.height()};
    return true;
}

bool QtPictureDecoder::DrawPicture(DrawingSurface& dc, const std::string& path, const Rect& rect) {
    return dc.DrawPicture(path, rect);
}

QImage ReadPicture(const std::string& path, QSize target) {
    QImageReader reader(QString::fromStdString(path));
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) return QImage();
    QSize full = reader.size();
    if (full.isValid() && !WithinLimit(full)) return QImage();
    if (target.isValid() && !target.isEmpty() && full.isValid() &&
        reader.supportsOption(QImageIOHandler::ScaledSize) && target.width() < full.width() &&
        target.height() < full.height())
        reader.setScaledSize(target);
    return reader.read();
}

}  // namespace pagewick
