#include "tools/skinpainter/report_skin.h"

#include "tools/skinpainter/painters.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

namespace orbiq::skinpainter {
namespace {

void PaintFace(QPainter& p, const QSize& size) {
    const QRectF r(0, 0, size.width(), size.height());
    FillVertical(p, r, QColor(0xa8, 0xd4, 0xff), QColor(0x6a, 0xaa, 0xec), QColor(0x48, 0x8c, 0xd8));
    p.setPen(QColor(0x2f, 0x6a, 0xb0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
    HLine(p, 1, size.width() - 2, 1, QColor(255, 255, 255, 200));
}

}  // namespace

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
    p.fillRect(QRect(0, 0, w, h), glow);
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

QImage PaintReportOkButton() {
    QImage image = Canvas(kReportButtonSize.width(), kReportButtonSize.height());
    QPainter p(&image);
    PaintFace(p, kReportButtonSize);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(UiFont(12, true));
    p.setPen(Qt::white);
    p.drawText(QRect(QPoint(0, 0), kReportButtonSize), Qt::AlignCenter, QStringLiteral("确定"));
    return image;
}

}  // namespace orbiq::skinpainter
