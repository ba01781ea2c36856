// A picture for test and benchmark books: a PNG of one colour, made in memory with Qt. Header
// only, so that the Qt-free test programs never link Qt through the support library.
#pragma once

#include <QBuffer>
#include <QImage>
#include <cstdint>
#include <vector>

namespace pagewick::test {

inline std::vector<uint8_t> SolidPng(int width, int height, Qt::GlobalColor colour) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return std::vector<uint8_t>(png.begin(), png.end());
}

}  // namespace pagewick::test
