// Pictures of the channel error report window: a light-blue skin, its emblem, close
// buttons, banner and button faces.
#pragma once

#include "tools/skinpainter/paint_kit.h"

#include <QImage>
#include <QSize>

namespace orbiq::skinpainter {

inline constexpr QSize kReportSkinSize{382, 270};
inline constexpr int kReportTitleHeight = 23;
inline constexpr QSize kReportBannerSize{1077, 184};
inline constexpr QSize kReportBannerBox{380, 65};  // the part shown, centred
inline constexpr QSize kReportCloseSize{32, 22};
inline constexpr QSize kReportButtonSize{71, 23};

QImage PaintReportSkin();
QImage PaintReportEmblem();  // 16 x 16 with alpha
QImage PaintReportCloseButton(ButtonState state);
QImage PaintReportBanner();
QImage PaintReportButtonFace();              // plain
QImage PaintReportOkButton();                // bearing "确定"

}  // namespace orbiq::skinpainter
