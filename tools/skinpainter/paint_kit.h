// Colours and drawing helpers shared by the skin's painters.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>

namespace orbiq::skinpainter {

namespace colour {
inline const QColor kGraphite0{0x1e, 0x21, 0x24};
inline const QColor kGraphite1{0x25, 0x29, 0x2d};
inline const QColor kGraphite2{0x2d, 0x31, 0x36};
inline const QColor kGraphite3{0x3a, 0x3f, 0x44};
inline const QColor kEdge{0x0b, 0x0c, 0x0e};
inline const QColor kAccent{0x2f, 0x7d, 0xe1};
inline const QColor kAccentLight{0x4a, 0xa3, 0xff};
inline const QColor kAccentDark{0x1a, 0x52, 0xa3};
inline const QColor kGlyph{0xc4, 0xc9, 0xce};
inline const QColor kTreeBack{0x29, 0x29, 0x21};  // the tree list's own background
}  // namespace colour

enum class ButtonState { Normal, Hover, Pressed };

// The density the pictures are painted at: 1, or 2 for screens of two device pixels per pixel.
// Painters draw in the pictures' own pixels; a canvas at 2 has twice the pixels each way.
int PaintScale();
class PaintScaleScope {
public:
    explicit PaintScaleScope(int scale);
    ~PaintScaleScope();
    PaintScaleScope(const PaintScaleScope&) = delete;
    PaintScaleScope& operator=(const PaintScaleScope&) = delete;

private:
    int previous_;
};

// An opaque RGB canvas filled with one colour, at the paint scale.
QImage Canvas(int width, int height, const QColor& fill = Qt::black);
// A transparent canvas with alpha, at the paint scale.
QImage AlphaCanvas(int width, int height);

// The product's face for Chinese and Latin lettering.
QFont UiFont(int pixelSize, bool bold = false);

// Vertical gradient fill of a rectangle.
void FillVertical(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom);
void FillVertical(QPainter& p, const QRectF& r, const QColor& top, const QColor& middle, const QColor& bottom);

// 1-pixel lines on whole pixels, without anti-aliasing.
void HLine(QPainter& p, int x0, int x1, int y, const QColor& c);
void VLine(QPainter& p, int x, int y0, int y1, const QColor& c);

// Copies a region of a finished picture, so a button's corners match what lies behind it.
QImage Backdrop(const QImage& skin, const QRect& area);

QColor WithAlpha(QColor c, int alpha);

}  // namespace orbiq::skinpainter
