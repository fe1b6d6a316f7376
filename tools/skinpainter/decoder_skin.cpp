#include "tools/skinpainter/decoder_skin.h"

#include "tools/skinpainter/painters.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace orbiq::skinpainter {
namespace {

constexpr int kWidth = 382;
constexpr int kHeight = 270;
constexpr int kStripHeight = 23;    // title strip, above the partner logo
constexpr int kBannerBottom = 88;   // the logo box ends here
constexpr int kBottomBand = 234;    // the buttons' band starts here
const QColor kBody{206, 230, 254};  // the labels' own background
const QColor kDeepBlue{0x0f, 0x3a, 0x78};
const QColor kMidBlue{0x2a, 0x6c, 0xc4};

}  // namespace

QImage PaintDecoderSkin() {
    QImage image = Canvas(kWidth, kHeight, kBody);
    QPainter p(&image);

    // Dark-blue title strip with a light rule under it.
    FillVertical(p, QRect(0, 0, kWidth, kStripHeight), QColor(0x2a, 0x5f, 0xb0), kDeepBlue, QColor(0x0a, 0x2c, 0x5e));
    HLine(p, 0, kWidth - 1, kStripHeight - 1, QColor(0x6f, 0xa8, 0xf0));

    // Banner band behind the logo box.
    FillVertical(p, QRect(0, kStripHeight, kWidth, kBannerBottom - kStripHeight), QColor(0x12, 0x2a, 0x4c),
                 QColor(0x1c, 0x3d, 0x6e));

    // Body: the labels' light blue, a soft light fall from the top.
    FillVertical(p, QRect(0, kBannerBottom, kWidth, kBottomBand - kBannerBottom), QColor(0xe4, 0xf1, 0xfe), kBody);
    p.fillRect(QRect(0, 160, kWidth, kBottomBand - 160), kBody);

    // Darker blue band for the buttons, with a highlight line on top.
    FillVertical(p, QRect(0, kBottomBand, kWidth, kHeight - kBottomBand), QColor(0x7c, 0xaf, 0xea), kMidBlue,
                 QColor(0x1d, 0x55, 0xa6));
    HLine(p, 0, kWidth - 1, kBottomBand, QColor(0xf0, 0xf7, 0xff));

    // A one-pixel frame round the shown 382 x 269.
    p.setPen(QColor(0x0a, 0x2c, 0x5e));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(0, 0, kWidth - 1, kHeight - 2));
    return image;
}

QImage PaintDecoderLogo() {
    QImage image = Canvas(225, 75, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The box shows the middle 65 rows: a wave mark, the forum's name and its domain.
    QPainterPath wave;
    wave.moveTo(10, 44);
    wave.cubicTo(22, 26, 34, 58, 48, 38);
    wave.lineTo(48, 52);
    wave.cubicTo(34, 70, 22, 40, 10, 58);
    wave.closeSubpath();
    QLinearGradient sea(0, 26, 0, 62);
    sea.setColorAt(0, QColor(0x4a, 0xa3, 0xff));
    sea.setColorAt(1, QColor(0x0f, 0x3a, 0x78));
    p.setPen(Qt::NoPen);
    p.setBrush(sea);
    p.drawPath(wave);
    p.setBrush(QColor(0x4a, 0xa3, 0xff, 140));
    p.drawEllipse(QPointF(40, 22), 7, 7);

    QPainterPath name;
    name.addText(58, 38, UiFont(22, true), QStringLiteral("蓝海论坛"));
    p.setBrush(QColor(0x0f, 0x3a, 0x78));
    p.drawPath(name);
    p.fillRect(QRectF(58, 44, 150, 1.5), QColor(0x4a, 0xa3, 0xff));
    QPainterPath domain;
    domain.addText(59, 60, UiFont(12), QStringLiteral("bbs.lanhai.example"));
    p.setBrush(QColor(0x5a, 0x6a, 0x7e));
    p.drawPath(domain);
    return image;
}

QImage PaintDecoderEmblem() {
    QImage image = AlphaCanvas(48, 48);
    QPainter p(&image);
    PaintEmblem(p, QRectF(2, 3, 44, 42));
    return image;
}

QImage PaintDecoderCloseButton(ButtonState state) {
    const QSize size(32, 22);
    QColor top, bottom;
    switch (state) {
    case ButtonState::Normal: top = QColor(0xa8, 0x1c, 0x1c), bottom = QColor(0x6e, 0x08, 0x0c); break;
    case ButtonState::Hover: top = QColor(0xd8, 0x34, 0x30), bottom = QColor(0x92, 0x10, 0x14); break;
    case ButtonState::Pressed: top = QColor(0x5c, 0x06, 0x0a), bottom = QColor(0x86, 0x10, 0x14); break;
    }
    QImage image = Canvas(size.width(), size.height(), kDeepBlue);
    QPainter p(&image);
    FillVertical(p, QRect(QPoint(0, 0), size), top, bottom);
    HLine(p, 0, size.width() - 1, size.height() - 1, QColor(0x40, 0x02, 0x06));
    p.setRenderHint(QPainter::Antialiasing);
    const qreal cx = size.width() / 2.0;
    const qreal cy = size.height() / 2.0 - 0.5 + (state == ButtonState::Pressed ? 1 : 0);
    const qreal r = 4.5;
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(cx - r, cy - r), QPointF(cx + r, cy + r));
    p.drawLine(QPointF(cx + r, cy - r), QPointF(cx - r, cy + r));
    return image;
}

}  // namespace orbiq::skinpainter
