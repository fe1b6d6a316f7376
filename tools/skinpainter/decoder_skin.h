// The decoder download window's pictures: skin, partner logo, emblem and close button.
#pragma once

#include "tools/skinpainter/paint_kit.h"

#include <QImage>

namespace orbiq::skinpainter {

QImage PaintDecoderSkin();                          // 382 x 270
QImage PaintDecoderLogo();                          // 225 x 75 on white
QImage PaintDecoderEmblem();                        // 48 x 48 with alpha
QImage PaintDecoderCloseButton(ButtonState state);  // 32 x 22

}  // namespace orbiq::skinpainter
