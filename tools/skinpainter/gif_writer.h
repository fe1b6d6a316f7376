// A GIF89a writer (Qt reads GIF but cannot write it): one opaque frame, LZW-compressed.
#pragma once

#include "tools/skinpainter/quantise.h"

#include <QByteArray>
#include <QImage>

namespace orbiq::skinpainter {

// The whole file: header, global colour table, one image, trailer.
// The palette must hold 1..256 colours and every index must lie inside it.
QByteArray EncodeGif(const IndexedImage& image);

// Quantises to at most 256 colours, then encodes.
QByteArray EncodeGif(const QImage& image);

}  // namespace orbiq::skinpainter
