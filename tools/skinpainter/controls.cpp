#include "tools/skinpainter/layout.h"
#include "tools/skinpainter/painters.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

namespace orbiq::skinpainter {
namespace {

const QColor kSeparator{0x16, 0x18, 0x1b};

struct Face {
    QColor top;
    QColor bottom;
    int sheen;  // alpha of the highlight row
    QColor glyph;
};

Face TitleFace(ButtonState state) {
    switch (state) {
    case ButtonState::Hover: return {colour::kAccentLight, colour::kAccent, 80, Qt::white};
    case ButtonState::Pressed: return {QColor(0x1f, 0x5f, 0xb8), QColor(0x17, 0x45, 0x88), 24, QColor(0xe4, 0xee, 0xfa)};
    case ButtonState::Normal: break;
    }
    return {QColor(0x47, 0x4c, 0x52), QColor(0x2c, 0x30, 0x34), 40, colour::kGlyph};
}

Face CloseFace(ButtonState state) {
    switch (state) {
    case ButtonState::Hover: return {QColor(0xff, 0x5c, 0x5c), QColor(0xe8, 0x11, 0x23), 90, Qt::white};
    case ButtonState::Pressed: return {QColor(0xa8, 0x14, 0x1f), QColor(0x78, 0x0c, 0x14), 24, QColor(0xf4, 0xe0, 0xe0)};
    case ButtonState::Normal: break;
    }
    return {QColor(0xe8, 0x7a, 0x7a), QColor(0xcc, 0x4f, 0x4f), 70, Qt::white};
}

// Face of a title-strip button: column 0 is the separator from its left neighbour,
// the last row the strip's lower edge; the right-hand columns lie under the next button.
void PaintFace(QPainter& p, QSize size, const Face& face) {
    const int w = size.width();
    const int h = size.height();
    FillVertical(p, QRect(0, 0, w, h), face.top, face.bottom);
    HLine(p, 1, w - 1, 0, QColor(255, 255, 255, face.sheen));
    VLine(p, 0, 0, h - 1, kSeparator);
    HLine(p, 0, w - 1, h - 1, kSeparator);
}

// Glyph rows 4..11 in window coordinates; `top` is the button's window y.
void PaintTitleGlyph(QPainter& p, TitleGlyph glyph, int x0, int top, int shift, const QColor& c) {
    const int y0 = 4 - top + shift;
    switch (glyph) {
    case TitleGlyph::Menu:
        // A box with a down arrow inside.
        HLine(p, x0, x0 + 8, y0, c);
        HLine(p, x0, x0 + 8, y0 + 7, c);
        VLine(p, x0, y0, y0 + 7, c);
        VLine(p, x0 + 8, y0, y0 + 7, c);
        HLine(p, x0 + 2, x0 + 6, y0 + 3, c);
        HLine(p, x0 + 3, x0 + 5, y0 + 4, c);
        HLine(p, x0 + 4, x0 + 4, y0 + 5, c);
        break;
    case TitleGlyph::Minimise:
        p.fillRect(QRect(x0, y0 + 5, 9, 2), c);
        break;
    case TitleGlyph::Maximise:
        p.fillRect(QRect(x0, y0, 9, 2), c);
        VLine(p, x0, y0, y0 + 7, c);
        VLine(p, x0 + 8, y0, y0 + 7, c);
        HLine(p, x0, x0 + 8, y0 + 7, c);
        break;
    }
}

}  // namespace

QImage PaintTitleButton(TitleGlyph glyph, ButtonState state, QSize size) {
    QImage image = Canvas(size.width(), size.height());
    QPainter p(&image);
    const Face face = TitleFace(state);
    PaintFace(p, size, face);
    // Glyphs centre in the columns the next button leaves visible.
    const int top = glyph == TitleGlyph::Menu ? kMenuButton.y() : 0;
    const int x0 = glyph == TitleGlyph::Maximise ? 11 : 10;
    PaintTitleGlyph(p, glyph, x0, top, state == ButtonState::Pressed ? 1 : 0, face.glyph);
    return image;
}

QImage PaintCloseButton(ButtonState state, QSize size) {
    QImage image = Canvas(size.width(), size.height());
    QPainter p(&image);
    const Face face = CloseFace(state);
    PaintFace(p, size, face);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal cx = (size.width() + 1) / 2.0;
    const qreal cy = (size.height() - 1) / 2.0 + (state == ButtonState::Pressed ? 1 : 0);
    const qreal r = 3.6;
    QPen pen(face.glyph, 1.9, Qt::SolidLine, Qt::SquareCap);
    p.setPen(QPen(QColor(0x60, 0x00, 0x08, state == ButtonState::Pressed ? 0 : 90), 1.9));
    p.drawLine(QPointF(cx - r, cy - r + 1), QPointF(cx + r, cy + r + 1));
    p.drawLine(QPointF(cx + r, cy - r + 1), QPointF(cx - r, cy + r + 1));
    p.setPen(pen);
    p.drawLine(QPointF(cx - r, cy - r), QPointF(cx + r, cy + r));
    p.drawLine(QPointF(cx + r, cy - r), QPointF(cx - r, cy + r));
    return image;
}

QImage PaintPlayButton(const QImage& skin, PlayGlyph glyph, ButtonState state, QSize size) {
    QImage image = Backdrop(skin, QRect(kPlayButton, size));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(18.0, 17.5);
    const qreal r = 16.5;

    QColor top, middle, bottom;
    switch (state) {
    case ButtonState::Normal:
        top = QColor(0x62, 0xb3, 0xff), middle = colour::kAccent, bottom = QColor(0x1d, 0x5c, 0xb6);
        break;
    case ButtonState::Hover:
        top = QColor(0x8c, 0xcb, 0xff), middle = colour::kAccentLight, bottom = QColor(0x2a, 0x74, 0xd4);
        break;
    case ButtonState::Pressed:
        top = QColor(0x2a, 0x69, 0xc0), middle = QColor(0x1d, 0x58, 0xa8), bottom = QColor(0x14, 0x3d, 0x7a);
        break;
    }
    QLinearGradient fill(0, c.y() - r, 0, c.y() + r);
    fill.setColorAt(0, top);
    fill.setColorAt(0.55, middle);
    fill.setColorAt(1, bottom);
    p.setPen(QPen(QColor(0x0b, 0x24, 0x47), 1.0));
    p.setBrush(fill);
    p.drawEllipse(c, r, r);

    // Glass: a bright cap on top, a faint glow at the bottom (none while pressed).
    p.setPen(Qt::NoPen);
    if (state != ButtonState::Pressed) {
        QLinearGradient cap(0, c.y() - r + 1, 0, c.y());
        cap.setColorAt(0, QColor(255, 255, 255, 110));
        cap.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(cap);
        p.drawEllipse(QRectF(c.x() - 11.5, c.y() - r + 1.2, 23, 15));
        QRadialGradient glow(QPointF(c.x(), c.y() + r), r);
        glow.setColorAt(0, QColor(0x9c, 0xd4, 0xff, 90));
        glow.setColorAt(1, QColor(0x9c, 0xd4, 0xff, 0));
        p.setBrush(glow);
        p.drawEllipse(c, r - 1, r - 1);
    } else {
        QLinearGradient shade(0, c.y() - r, 0, c.y());
        shade.setColorAt(0, QColor(0, 0, 0, 70));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.setBrush(shade);
        p.drawEllipse(c, r - 0.5, r - 0.5);
    }
    p.setPen(QPen(QColor(255, 255, 255, state == ButtonState::Pressed ? 20 : 60), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r - 1, r - 1);

    QPainterPath mark;
    if (glyph == PlayGlyph::Play) {
        QPolygonF triangle;
        triangle << QPointF(c.x() - 4.5, c.y() - 7.5) << QPointF(c.x() + 8, c.y())
                 << QPointF(c.x() - 4.5, c.y() + 7.5);
        mark.addPolygon(triangle);
        mark.closeSubpath();
    } else {
        mark.addRoundedRect(QRectF(c.x() - 6, c.y() - 6.5, 4.5, 13), 1, 1);
        mark.addRoundedRect(QRectF(c.x() + 1.5, c.y() - 6.5, 4.5, 13), 1, 1);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x06, 0x1f, 0x45, 110));
    p.drawPath(mark.translated(0, 1));
    p.setBrush(state == ButtonState::Pressed ? QColor(0xdd, 0xe8, 0xf6) : QColor(Qt::white));
    p.drawPath(mark);
    return image;
}

QImage PaintSpeaker(const QImage& skin) {
    QImage image = Backdrop(skin, QRect(kSpeaker, QSize(11, 15)));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient orange(0, 1, 0, 14);
    orange.setColorAt(0, QColor(0xff, 0xc0, 0x5c));
    orange.setColorAt(1, QColor(0xf0, 0x7a, 0x12));
    QPainterPath body;
    body.moveTo(0.5, 5);
    body.lineTo(3, 5);
    body.lineTo(7, 1.5);
    body.lineTo(7, 13.5);
    body.lineTo(3, 10);
    body.lineTo(0.5, 10);
    body.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(orange);
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    // Sound wave, kept inside the last column.
    p.setPen(QPen(QColor(0xf7, 0x9a, 0x2e), 1.1, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(7.2 - 2.9, 7.5 - 2.9, 5.8, 5.8), -60 * 16, 120 * 16);
    return image;
}

QImage PaintSliderTrack(const QImage& skin, bool filled, QSize size) {
    // Centred in the slider's height.
    const QPoint at(kSlider.x() + 6, kSlider.y() + (kSlider.height() - size.height()) / 2);
    QImage image = Backdrop(skin, QRect(at, size));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    QLinearGradient fill(0, 0, 0, size.height());
    if (filled) {
        fill.setColorAt(0, QColor(0x8c, 0xcb, 0xff));
        fill.setColorAt(0.35, colour::kAccentLight);
        fill.setColorAt(1, QColor(0x1f, 0x5f, 0xb8));
    } else {
        fill.setColorAt(0, QColor(0x08, 0x09, 0x0a));
        fill.setColorAt(0.7, QColor(0x16, 0x18, 0x1b));
        fill.setColorAt(1, QColor(0x4a, 0x50, 0x56));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r, 2.5, 2.5);
    return image;
}

QImage PaintSliderThumb(const QImage& skin) {
    const QPoint at(kSlider.x() + kSlider.width() / 2, kSlider.y() + (kSlider.height() - 13) / 2);
    QImage image = Backdrop(skin, QRect(at, QSize(13, 13)));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(6.5, 6.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawEllipse(c + QPointF(0, 0.6), 6.2, 6.2);
    QLinearGradient fill(0, 0.5, 0, 12.5);
    fill.setColorAt(0, QColor(0xff, 0xff, 0xff));
    fill.setColorAt(1, QColor(0xb8, 0xbf, 0xc6));
    p.setBrush(fill);
    p.setPen(QPen(QColor(0x4d, 0x53, 0x5a), 0.9));
    p.drawEllipse(c, 5.6, 5.6);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::kAccent);
    p.drawEllipse(c, 1.9, 1.9);
    return image;
}

namespace {

const QColor kIconLine{0xc6, 0xcc, 0xd2};
const QColor kIconFill{0x80, 0x88, 0x90};
const QColor kIconShade{0x5c, 0x63, 0x6a};

void PaintFolder(QPainter& p) {
    // Tab, then the body.
    HLine(p, 5, 10, 6, kIconLine);
    VLine(p, 5, 6, 18, kIconLine);
    VLine(p, 11, 7, 7, kIconLine);
    HLine(p, 6, 10, 7, kIconFill);
    HLine(p, 12, 19, 8, kIconLine);
    VLine(p, 19, 8, 18, kIconLine);
    HLine(p, 5, 19, 18, kIconLine);
    p.fillRect(QRect(6, 8, 6, 1), kIconFill);
    p.fillRect(QRect(6, 9, 13, 9), kIconFill);
    // Front flap, lighter, opening upward.
    HLine(p, 6, 18, 10, QColor(0xa9, 0xb0, 0xb7));
    p.fillRect(QRect(6, 11, 13, 7), QColor(0x93, 0x9a, 0xa2));
    HLine(p, 6, 18, 17, kIconShade);
}

void PaintSheet(QPainter& p) {
    const QColor paper{0xa4, 0xab, 0xb2};
    p.fillRect(QRect(8, 5, 6, 15), paper);
    p.fillRect(QRect(14, 8, 3, 12), paper);
    HLine(p, 7, 13, 4, kIconLine);   // top
    VLine(p, 7, 4, 20, kIconLine);   // left
    HLine(p, 7, 17, 20, kIconLine);  // bottom
    VLine(p, 17, 8, 20, kIconLine);  // right
    // Turned corner.
    p.fillRect(QRect(14, 4, 1, 4), kIconLine);
    p.fillRect(QRect(14, 7, 4, 1), kIconLine);
    p.fillRect(QRect(15, 5, 1, 1), kIconLine);
    p.fillRect(QRect(16, 6, 1, 1), kIconLine);
    p.fillRect(QRect(15, 6, 1, 1), QColor(0xd8, 0xdd, 0xe2));
    // Lines of writing.
    for (int y : {10, 12, 14}) HLine(p, 9, 15, y, kIconShade);
    HLine(p, 9, 13, 16, kIconShade);
}

void PaintScreen(QPainter& p) {
    HLine(p, 4, 20, 5, kIconLine);
    HLine(p, 4, 20, 16, kIconLine);
    VLine(p, 4, 5, 16, kIconLine);
    VLine(p, 20, 5, 16, kIconLine);
    QLinearGradient glass(0, 6, 0, 16);
    glass.setColorAt(0, QColor(0x8a, 0x92, 0x9a));
    glass.setColorAt(1, QColor(0x4c, 0x53, 0x5a));
    p.fillRect(QRect(5, 6, 15, 10), glass);
    // A diagonal glint.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawPolygon(QPolygonF{QPointF(5, 6), QPointF(13, 6), QPointF(5, 13)});
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(11, 17, 3, 2), kIconFill);
    HLine(p, 8, 16, 19, kIconLine);
}

void PaintLetterE(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath e;
    const QFont font = UiFont(21, true);
    e.addText(0, 0, font, QStringLiteral("e"));
    const QRectF box = e.boundingRect();
    e.translate(12.5 - box.center().x(), 12.5 - box.center().y());
    QLinearGradient fill(0, 6, 0, 19);
    fill.setColorAt(0, QColor(0xdc, 0xe1, 0xe6));
    fill.setColorAt(1, QColor(0x98, 0xa0, 0xa8));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 110));
    p.drawPath(e.translated(0, 1));
    p.setBrush(fill);
    p.drawPath(e);
}

}  // namespace

QImage PaintIconButton(const QImage& skin, IconGlyph glyph, int x) {
    QImage image = Backdrop(skin, QRect(x, kIconY, kIconSize, kIconSize));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, 0, kIconSize);
    face.setColorAt(0, QColor(0x45, 0x4a, 0x50));
    face.setColorAt(1, QColor(0x2a, 0x2e, 0x33));
    p.setPen(QPen(QColor(0x0f, 0x11, 0x13), 1.0));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(0.5, 0.5, kIconSize - 1, kIconSize - 1), 4, 4);
    p.setRenderHint(QPainter::Antialiasing, false);
    HLine(p, 3, kIconSize - 4, 1, QColor(255, 255, 255, 38));
    switch (glyph) {
    case IconGlyph::Folder: PaintFolder(p); break;
    case IconGlyph::Sheet: PaintSheet(p); break;
    case IconGlyph::Screen: PaintScreen(p); break;
    case IconGlyph::LetterE: PaintLetterE(p); break;
    }
    return image;
}

QImage PaintCollapseButton() {
    QImage image = Canvas(8, 7, Qt::black);
    QPainter p(&image);
    const QColor line{0x9a, 0xa1, 0xa8};
    for (int i = 0; i < 7; ++i) {
        p.fillRect(QRect(1 + i, i, 1, 1), line);
        p.fillRect(QRect(7 - i, i, 1, 1), line);
    }
    p.fillRect(QRect(4, 3, 1, 1), QColor(0xd0, 0xd5, 0xda));
    return image;
}

QImage PaintTvIcon() {
    QImage image = AlphaCanvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xb4, 0xbb, 0xc2), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 4.5), QPointF(5, 1.5));
    p.drawLine(QPointF(8, 4.5), QPointF(11.5, 1));
    QLinearGradient body(0, 4, 0, 14);
    body.setColorAt(0, QColor(0x6a, 0x72, 0x7a));
    body.setColorAt(1, QColor(0x33, 0x38, 0x3d));
    p.setPen(QPen(QColor(0x12, 0x14, 0x16), 1.0));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(0.5, 4.5, 15, 9), 2, 2);
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient screen(0, 6, 0, 12);
    screen.setColorAt(0, QColor(0x7c, 0xc2, 0xff));
    screen.setColorAt(1, colour::kAccent);
    p.fillRect(QRect(2, 6, 9, 6), screen);
    p.fillRect(QRect(2, 6, 9, 1), QColor(0xb8, 0xdc, 0xff));
    p.fillRect(QRect(12, 7, 2, 1), QColor(0xd0, 0xd5, 0xda));
    p.fillRect(QRect(12, 9, 2, 1), QColor(0xd0, 0xd5, 0xda));
    p.fillRect(QRect(3, 14, 2, 1), QColor(0x6a, 0x72, 0x7a));
    p.fillRect(QRect(11, 14, 2, 1), QColor(0x6a, 0x72, 0x7a));
    return image;
}

}  // namespace orbiq::skinpainter
