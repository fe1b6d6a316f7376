#include "tools/skinpainter/layout.h"
#include "tools/skinpainter/painters.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace orbiq::skinpainter {

QImage PaintUpdateSkin() {
    QImage image = Canvas(kUpdateSkinSize.width(), kUpdateSkinSize.height(), Qt::black);
    QPainter p(&image);
    const int w = kUpdateWindow.width();
    const int h = kUpdateWindow.height();

    // A faint title band fading into the black.
    FillVertical(p, QRect(1, 1, w - 2, 26), QColor(0x1f, 0x22, 0x26), QColor(0x00, 0x00, 0x00));
    QLinearGradient rule(8, 0, w - 8, 0);
    rule.setColorAt(0, QColor(0x4a, 0xa3, 0xff, 180));
    rule.setColorAt(0.5, QColor(0x3a, 0x3f, 0x44));
    rule.setColorAt(1, QColor(0x3a, 0x3f, 0x44, 0));
    p.fillRect(QRect(8, 26, w - 16, 1), rule);

    p.setRenderHint(QPainter::Antialiasing);
    PaintEmblem(p, QRectF(9, 4, 22, 19));
    const QFont font = UiFont(14, true);
    QPainterPath latin, chinese;
    latin.addText(37, 19, font, QStringLiteral("ORBIQ"));
    chinese.addText(37 + latin.boundingRect().width() + 4, 19, font, QStringLiteral("网络电视"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xf4, 0xf6));
    p.drawPath(latin);
    p.setBrush(colour::kAccentLight);
    p.drawPath(chinese);

    // The frame line, round at the top like the window region, on the shown 416 x 288.
    const qreal r = kCornerRadius;
    const QRectF f(0.5, 0.5, w - 1, h - 1);
    QPainterPath frame;
    frame.moveTo(f.left() + r, f.bottom());
    frame.lineTo(f.left(), f.bottom());
    frame.lineTo(f.left(), f.top() + r);
    frame.arcTo(QRectF(f.left(), f.top(), 2 * r, 2 * r), 180, -90);
    frame.lineTo(f.right() - r, f.top());
    frame.arcTo(QRectF(f.right() - 2 * r, f.top(), 2 * r, 2 * r), 90, -90);
    frame.lineTo(f.right(), f.bottom());
    frame.closeSubpath();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x6a, 0x71, 0x78), 1.0));
    p.drawPath(frame);
    return image;
}

}  // namespace orbiq::skinpainter
