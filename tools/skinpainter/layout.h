// Where the main and update windows place their units, so skin areas line up with them.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>

namespace orbiq::skinpainter {

inline constexpr QSize kMainSkinSize{794, 514};
inline constexpr int kMainWindowHeight = 544;  // the skin plus the black ticker band
inline constexpr int kCornerRadius = 7;        // window region: 14 x 14 round corners at the top

inline constexpr int kTitleHeight = 38;
inline constexpr QRect kVideo{2, 40, 566, 376};
inline constexpr QRect kStatusStrip{2, 416, 566, 32};
inline constexpr QRect kControlBar{0, 448, 568, 66};
inline constexpr QRect kPanel{568, 40, 226, 474};
inline constexpr QRect kHeading{576, 43, 208, 16};
inline constexpr QRect kTree{576, 62, 208, 348};
inline constexpr QRect kInfo{568, 412, 224, 101};

inline constexpr QPoint kMenuButton{672, 1};
inline constexpr QPoint kMinButton{701, 0};
inline constexpr QPoint kMaxButton{730, 0};
inline constexpr QPoint kCloseButton{760, 0};
inline constexpr QRect kTitleButtons{672, 0, 120, 16};

inline constexpr QPoint kPlayButton{40, 463};
inline constexpr QPoint kSpeaker{112, 471};
inline constexpr QRect kSlider{128, 472, 64, 16};
inline constexpr std::array<int, 4> kIconX{224, 304, 392, 488};
inline constexpr int kIconY = 464;
inline constexpr int kIconSize = 25;

inline constexpr QPoint kLogo{96, 160};
inline constexpr QSize kLogoBox{380, 140};
inline constexpr QPoint kCollapse{780, 525};

inline constexpr QSize kUpdateSkinSize{418, 310};
inline constexpr QSize kUpdateWindow{416, 288};
inline constexpr QPoint kUpdateClose{385, 0};
inline constexpr QPoint kUpdateLogo{40, 31};
inline constexpr QSize kUpdateLogoBox{320, 105};

}  // namespace orbiq::skinpainter
