// Pictures of the channel error report window of its own: the banner and the hidden OK
// button (its skin, emblem and close buttons are the decoder window's, its button face the board's).
#pragma once

#include "tools/skinpainter/paint_kit.h"

#include <QImage>
#include <QSize>

namespace orbiq::skinpainter {

inline constexpr QSize kReportBannerSize{1077, 184};
inline constexpr QSize kReportBannerBox{380, 65};  // the part shown, centred
inline constexpr QSize kReportButtonSize{71, 23};

QImage PaintReportBanner();
QImage PaintReportOkButton();  // a light-blue face bearing "确定"

}  // namespace orbiq::skinpainter
