#include "tools/skinpainter/report_skin.h"

#include "tools/skinpainter/painters.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

namespace orbiq::skinpainter {
namespace {

const QColor kStripTop{0x3d, 0x7f, 0xc8};
const QColor kStripBottom{0x25, 0x5e, 0xa6};
const QColor kBodyTop{0xe6, 0xf1, 0xfc};
const QColor kBodyBottom{0xcf, 0xe3, 0xf7};
const QColor kFrame{0x2c, 0x4a, 0x6e};

void PaintFace(QPainter& p, const QSize& size) {
    const QRectF r(0, 0, size.width(), size.height());
    FillVertical(p, r, QColor(0xa8, 0xd4, 0xff), QColor(0x6a, 0xaa, 0xec), QColor(0x48, 0x8c, 0xd8));
    p.setPen(QColor(0x2f, 0x6a, 0xb0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
    HLine(p, 1, size.width() - 2, 1, QColor(255, 255, 255, 200));
}

}  // namespace

QImage PaintReportSkin() {
    const int w = kReportSkinSize.width();
    const int h = kReportSkinSize.height();
    QImage image = Canvas(w, h, kBodyTop);
    QPainter p(&image);
    // Title strip, the header band under the banner, then the light body.
    FillVertical(p, QRect(0, 0, w, kReportTitleHeight), kStripTop, kStripBottom);
    HLine(p, 0, w - 1, 1, QColor(255, 255, 255, 70));
    FillVertical(p, QRect(0, kReportTitleHeight, w, 65), QColor(0x1b, 0x2f, 0x4a), QColor(0x10, 0x1d, 0x30));
    FillVertical(p, QRect(0, 88, w, h - 88), kBodyTop, kBodyBottom);
    HLine(p, 0, w - 1, 88, QColor(0x9d, 0xc0, 0xe6));
    // A faint panel behind the form and a rule above the button row.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0xb4, 0xd0, 0xee));
    p.setBrush(QColor(255, 255, 255, 90));
    p.drawRoundedRect(QRectF(6.5, 106.5, w - 13, 124), 4, 4);
    p.setRenderHint(QPainter::Antialiasing, false);
    HLine(p, 8, w - 9, 234, QColor(0xb4, 0xd0, 0xee));
    HLine(p, 8, w - 9, 235, QColor(255, 255, 255, 160));
    // The frame, round at the top like the window region.
    p.setRenderHint(QPainter::Antialiasing);
    const qreal r = 7;
    const QRectF f(0.5, 0.5, w - 1, h - 1);
    QPainterPath frame;
    frame.moveTo(f.left(), f.bottom());
    frame.lineTo(f.left(), f.top() + r);
    frame.arcTo(QRectF(f.left(), f.top(), 2 * r, 2 * r), 180, -90);
    frame.lineTo(f.right() - r, f.top());
    frame.arcTo(QRectF(f.right() - 2 * r, f.top(), 2 * r, 2 * r), 90, -90);
    frame.lineTo(f.right(), f.bottom());
    frame.closeSubpath();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kFrame, 1.0));
    p.drawPath(frame);
    return image;
}

QImage PaintReportEmblem() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    PaintEmblem(p, QRectF(0, 0, 16, 16));
    return image;
}

QImage PaintReportCloseButton(ButtonState state) {
    const int w = kReportCloseSize.width();
    const int h = kReportCloseSize.height();
    QColor top, bottom;
    switch (state) {
    case ButtonState::Hover: top = QColor(0xff, 0x5c, 0x5c), bottom = QColor(0xe8, 0x11, 0x23); break;
    case ButtonState::Pressed: top = QColor(0x8a, 0x10, 0x18), bottom = QColor(0x66, 0x0a, 0x10); break;
    case ButtonState::Normal: top = QColor(0xb8, 0x2a, 0x32), bottom = QColor(0x8c, 0x16, 0x1e); break;
    }
    QImage image = Canvas(w, h);
    QPainter p(&image);
    FillVertical(p, QRect(0, 0, w, h), top, bottom);
    HLine(p, 1, w - 1, 0, QColor(255, 255, 255, state == ButtonState::Pressed ? 20 : 70));
    VLine(p, 0, 0, h - 1, QColor(0x5a, 0x08, 0x0e));
    HLine(p, 0, w - 1, h - 1, QColor(0x5a, 0x08, 0x0e));
    p.setRenderHint(QPainter::Antialiasing);
    const qreal cx = w / 2.0;
    const qreal cy = (h - 1) / 2.0 + (state == ButtonState::Pressed ? 1 : 0);
    const qreal r = 4.2;
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(QPointF(cx - r, cy - r), QPointF(cx + r, cy + r));
    p.drawLine(QPointF(cx + r, cy - r), QPointF(cx - r, cy + r));
    return image;
}

QImage PaintReportBanner() {
    const int w = kReportBannerSize.width();
    const int h = kReportBannerSize.height();
    QImage image = Canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    FillVertical(p, QRect(0, 0, w, h), QColor(0x12, 0x22, 0x3a), QColor(0x0b, 0x3c, 0x6e), QColor(0x08, 0x16, 0x28));
    // A glow and sweeping light bands across the whole width.
    QRadialGradient glow(QPointF(w / 2.0, h / 2.0), w / 2.0);
    glow.setColorAt(0, QColor(0x4a, 0xa3, 0xff, 90));
    glow.setColorAt(1, QColor(0x4a, 0xa3, 0xff, 0));
    p.fillRect(image.rect(), glow);
    for (int i = 0; i < 6; ++i) {
        QPainterPath wave;
        const qreal y = h * (0.35 + 0.06 * i);
        wave.moveTo(0, y);
        wave.cubicTo(w * 0.3, y - 40 + 8 * i, w * 0.6, y + 50 - 6 * i, w, y - 10);
        p.setPen(QPen(QColor(0x9c, 0xcf, 0xff, 60 - 8 * i), 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
    }
    // The shown 380 x 65 in the middle: the emblem and the window's subject.
    const QRectF shown((w - kReportBannerBox.width()) / 2.0, (h - kReportBannerBox.height()) / 2.0,
                       kReportBannerBox.width(), kReportBannerBox.height());
    PaintEmblem(p, QRectF(shown.left() + 22, shown.top() + 12, 46, 42));
    QPainterPath title, line;
    title.addText(shown.left() + 82, shown.top() + 32, UiFont(20, true), QStringLiteral("ORBIQ网络电视"));
    line.addText(shown.left() + 84, shown.top() + 52, UiFont(12), QStringLiteral("频道无法收看？告诉我们，尽快为您修复"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawPath(title.translated(0, 1.5));
    p.setBrush(QColor(0xf2, 0xf6, 0xfa));
    p.drawPath(title);
    p.setBrush(QColor(0x9c, 0xcf, 0xff));
    p.drawPath(line);
    return image;
}

QImage PaintReportButtonFace() {
    QImage image = Canvas(kReportButtonSize.width(), kReportButtonSize.height());
    QPainter p(&image);
    PaintFace(p, kReportButtonSize);
    return image;
}

QImage PaintReportOkButton() {
    QImage image = PaintReportButtonFace();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(UiFont(12, true));
    p.setPen(Qt::white);
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("确定"));
    return image;
}

}  // namespace orbiq::skinpainter
