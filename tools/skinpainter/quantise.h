// Colour reduction to a palette of at most 256 entries, for GIF and 8-bit BMP output.
#pragma once

#include <QImage>
#include <QList>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace orbiq::skinpainter {

struct IndexedImage {
    int width = 0;
    int height = 0;
    QList<QRgb> palette;           // opaque colours, 1..256 entries
    std::vector<uint8_t> indices;  // width * height, row by row
};

// Exact palette when the image has at most maxColours colours, median cut otherwise.
// Alpha is ignored: pictures are opaque.
IndexedImage Quantise(const QImage& image, int maxColours = 256);

// A Format_Indexed8 image whose colour table is padded to 256 entries, so that
// writers that shrink small palettes (Qt's BMP writer goes to 4 bits) keep 8 bits.
QImage ToIndexed8(const QImage& image);

}  // namespace orbiq::skinpainter
