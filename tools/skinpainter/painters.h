// The painters of every skin picture; each returns the picture at its final pixel size.
#pragma once

#include "tools/skinpainter/paint_kit.h"

#include <QImage>
#include <QSize>

namespace orbiq::skinpainter {

// Main window.
QImage PaintMainSkin();
QImage PaintMainLogo();  // 381 x 140 on black

enum class TitleGlyph { Menu, Minimise, Maximise };
QImage PaintTitleButton(TitleGlyph glyph, ButtonState state, QSize size);
QImage PaintCloseButton(ButtonState state, QSize size);

enum class PlayGlyph { Play, Pause };
// The backdrop comes from the finished skin, so the corners blend with the control bar.
QImage PaintPlayButton(const QImage& skin, PlayGlyph glyph, ButtonState state, QSize size);
QImage PaintSpeaker(const QImage& skin);
QImage PaintSliderTrack(const QImage& skin, bool filled, QSize size);
QImage PaintSliderThumb(const QImage& skin);

enum class IconGlyph { Folder, Sheet, Screen, LetterE };
QImage PaintIconButton(const QImage& skin, IconGlyph glyph, int x);

QImage PaintCollapseButton();
QImage PaintTvIcon();  // 16 x 16 with alpha

// Update window.
QImage PaintUpdateSkin();
QImage PaintUpdateLogo();  // 381 x 140 on black, its content inside the shown 320 x 105

// The television emblem and the product name, shared by the logos and the title strips.
void PaintEmblem(QPainter& p, const QRectF& box);
void PaintLogoArt(QPainter& p, const QRectF& area);

}  // namespace orbiq::skinpainter
