#include "tools/skinpainter/board_skin.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

namespace orbiq::skinpainter {
namespace {

const QColor kTitleTop{0x1d, 0x3f, 0x7a};
const QColor kTitleBottom{0x10, 0x2a, 0x58};
const QColor kBodyTop{0xe6, 0xf0, 0xfb};
const QColor kBodyBottom{0xd3, 0xe3, 0xf6};
const QColor kBandTop{0x5d, 0x8f, 0xcf};
const QColor kBandBottom{0x3f, 0x72, 0xb6};
const QColor kTealTop{0x7e, 0xd3, 0xcf};
const QColor kTealBottom{0x3c, 0xa6, 0xa2};
const QColor kRed{0xd2, 0x34, 0x2c};

void Cross(QPainter& p, const QPointF& c, qreal half, qreal width, const QColor& colour) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
    p.drawLine(c + QPointF(-half, half), c + QPointF(half, -half));
}

}  // namespace

QImage PaintBoardSkin() {
    const int w = 547, h = 358;
    QImage image = Canvas(w, h, kBodyTop);
    QPainter p(&image);
    FillVertical(p, QRectF(0, 23, w, h - 23 - 33), kBodyTop, kBodyBottom);
    FillVertical(p, QRectF(0, 0, w, 23), kTitleTop, kTitleBottom);
    HLine(p, 0, w - 1, 23, QColor(0x0a, 0x1c, 0x3e));
    FillVertical(p, QRectF(0, h - 33, w, 33), kBandTop, kBandBottom);
    HLine(p, 0, w - 1, h - 34, QColor(0x8c, 0xb3, 0xe3));

    // The close mark at the right end of the title strip (the close button lies over it).
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRoundedRect(QRectF(w - 31, 0, 31, 21), 3, 3);
    Cross(p, QPointF(w - 15.5, 10.5), 4, 2, Qt::white);

    // A soft highlight along the bottom row of the chat units.
    p.setPen(QPen(QColor(0xb9, 0xcf, 0xeb), 1));
    p.setBrush(QColor(0xf4, 0xf8, 0xfd));
    p.drawRoundedRect(QRectF(8.5, 292.5, 529, 31), 4, 4);
    return image;
}

QImage PaintBoardLoginPanel() {
    const int w = 235, h = 134;
    QImage image = Canvas(w, h, Qt::white);
    QPainter p(&image);
    FillVertical(p, QRectF(0, 0, w, 32), kTealTop, kTealBottom);
    p.setPen(QColor(0xa0, 0xa0, 0xa0));
    p.drawRect(0, 0, w - 1, h - 1);
    HLine(p, 1, w - 2, 32, QColor(0x2d, 0x86, 0x83));

    // The globe on the title strip, just right of the prompt that covers its left part.
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF globe(182.5, 6.5, 19, 19);
    QRadialGradient sea(globe.center() - QPointF(3, 3), 12);
    sea.setColorAt(0, QColor(0x9f, 0xd8, 0xff));
    sea.setColorAt(1, QColor(0x1f, 0x6f, 0xc4));
    p.setPen(QPen(QColor(0x15, 0x4c, 0x8a), 1));
    p.setBrush(sea);
    p.drawEllipse(globe);
    p.setPen(QPen(QColor(255, 255, 255, 170), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(globe.adjusted(5, 0, -5, 0));
    p.drawLine(QPointF(globe.left() + 1, globe.center().y()), QPointF(globe.right() - 1, globe.center().y()));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4c, 0xb0, 0x4f));
    p.drawEllipse(QRectF(globe.left() + 4, globe.top() + 4, 6, 5));
    p.drawEllipse(QRectF(globe.left() + 10, globe.top() + 10, 5, 4));
    return image;
}

QImage PaintBoardPromptStrip() {
    // The same gradient as the login panel's 32-pixel title strip, which it lies on.
    QImage image = Canvas(9, 39, kTealBottom);
    QPainter p(&image);
    FillVertical(p, QRectF(0, 0, 9, 32), kTealTop, kTealBottom);
    return image;
}

QImage PaintBoardSendFace() {
    const int w = 71, h = 23;
    QImage image = Canvas(w, h, QColor(0xf4, 0xf8, 0xfd));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, 0, h);
    face.setColorAt(0, QColor(0xe9, 0xf4, 0xff));
    face.setColorAt(0.5, QColor(0xbf, 0xdc, 0xfb));
    face.setColorAt(1, QColor(0x9c, 0xc6, 0xf3));
    p.setPen(QPen(QColor(0x5b, 0x8f, 0xcf), 1));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 5, 5);
    return image;
}

QImage PaintBoardDropButton(ButtonState state) {
    const QColor back = state == ButtonState::Normal  ? QColor(0xd9, 0xd9, 0xd9)
                        : state == ButtonState::Hover ? QColor(0xbf, 0xdc, 0xfb)
                                                      : QColor(0x6f, 0xa3, 0xe0);
    QImage image = Canvas(17, 20, back);
    QPainter p(&image);
    p.setPen(QColor(0x9a, 0x9a, 0x9a));
    p.drawRect(0, 0, 16, 16);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPainterPath arrow;
    arrow.moveTo(4.5, 6.5);
    arrow.lineTo(12.5, 6.5);
    arrow.lineTo(8.5, 11);
    arrow.closeSubpath();
    p.drawPath(arrow);
    return image;
}

QImage PaintBoardCloseTab() {
    QImage image = Canvas(32, 22, kTitleBottom);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient tab(0, 0, 0, 22);
    tab.setColorAt(0, QColor(0xec, 0x5a, 0x50));
    tab.setColorAt(1, QColor(0xb8, 0x22, 0x1b));
    p.setPen(QPen(QColor(0x8a, 0x16, 0x10), 1));
    p.setBrush(tab);
    p.drawRoundedRect(QRectF(0.5, -4, 31, 25.5), 4, 4);
    Cross(p, QPointF(16, 11), 4, 2, Qt::white);
    return image;
}

}  // namespace orbiq::skinpainter
