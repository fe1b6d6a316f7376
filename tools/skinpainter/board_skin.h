// The message board's pictures: window skin, login panel, prompt strip, buttons.
#pragma once

#include "tools/skinpainter/paint_kit.h"

#include <QImage>

namespace orbiq::skinpainter {

QImage PaintBoardSkin();                         // 547 x 358
QImage PaintBoardLoginPanel();                   // 235 x 134
QImage PaintBoardPromptStrip();                  // 9 x 39
QImage PaintBoardSendFace();                     // 71 x 23
QImage PaintBoardDropButton(ButtonState state);  // 17 x 20
QImage PaintBoardCloseTab();                     // 32 x 22

}  // namespace orbiq::skinpainter
