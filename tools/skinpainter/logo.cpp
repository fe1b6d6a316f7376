#include "tools/skinpainter/layout.h"
#include "tools/skinpainter/painters.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace orbiq::skinpainter {
namespace {

// The logo is laid out on this board and scaled to the area it is given.
constexpr qreal kBoardWidth = 380;
constexpr qreal kBoardHeight = 140;

void FillText(QPainter& p, const QPainterPath& text, const QColor& top, const QColor& bottom, qreal y0, qreal y1) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawPath(text.translated(0, 1.5));
    QLinearGradient g(0, y0, 0, y1);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.drawPath(text);
}

}  // namespace

void PaintEmblem(QPainter& p, const QRectF& box) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = box.width();
    const qreal h = box.height();
    const qreal x = box.left();
    const qreal y = box.top();
    const bool large = h > 40;

    // Antenna.
    const QPointF root(x + w * 0.5, y + h * 0.24);
    QPen rod(QColor(0xa9, 0xb1, 0xb9), std::max(1.0, h * 0.035), Qt::SolidLine, Qt::RoundCap);
    p.setPen(rod);
    const QPointF tipLeft(x + w * 0.3, y + h * 0.03);
    const QPointF tipRight(x + w * 0.74, y + h * 0.01);
    p.drawLine(root, tipLeft);
    p.drawLine(root, tipRight);
    if (large) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kAccentLight);
        p.drawEllipse(tipLeft, h * 0.03, h * 0.03);
        p.drawEllipse(tipRight, h * 0.03, h * 0.03);
    }

    // Cabinet.
    const QRectF cabinet(x + 0.5, y + h * 0.22, w - 1, h * 0.68);
    QLinearGradient metal(0, cabinet.top(), 0, cabinet.bottom());
    metal.setColorAt(0, QColor(0x6e, 0x76, 0x7e));
    metal.setColorAt(0.5, QColor(0x43, 0x48, 0x4e));
    metal.setColorAt(1, QColor(0x26, 0x29, 0x2d));
    p.setPen(QPen(QColor(0x0c, 0x0d, 0x0f), std::max(1.0, h * 0.012)));
    p.setBrush(metal);
    const qreal round = h * 0.13;
    p.drawRoundedRect(cabinet, round, round);

    // Screen with a glass reflection.
    const qreal inset = std::max(2.0, h * 0.07);
    const QRectF screen = cabinet.adjusted(inset, inset, -inset, -inset);
    QLinearGradient glass(0, screen.top(), 0, screen.bottom());
    glass.setColorAt(0, QColor(0x6c, 0xb8, 0xff));
    glass.setColorAt(0.55, colour::kAccent);
    glass.setColorAt(1, QColor(0x12, 0x3f, 0x80));
    p.setPen(QPen(QColor(0x08, 0x1c, 0x38), std::max(0.8, h * 0.01)));
    p.setBrush(glass);
    p.drawRoundedRect(screen, round * 0.6, round * 0.6);
    p.setPen(Qt::NoPen);
    QPainterPath shine;
    shine.moveTo(screen.topLeft() + QPointF(1, 1));
    shine.lineTo(screen.left() + screen.width() * 0.62, screen.top() + 1);
    shine.lineTo(screen.left() + 1, screen.top() + screen.height() * 0.7);
    shine.closeSubpath();
    QLinearGradient shineFill(screen.topLeft(), screen.center());
    shineFill.setColorAt(0, QColor(255, 255, 255, 120));
    shineFill.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(shineFill);
    p.drawPath(shine);

    // Play mark.
    const QPointF c = screen.center() + QPointF(screen.width() * 0.04, 0);
    const qreal s = screen.height() * 0.26;
    QPolygonF triangle{QPointF(c.x() - s * 0.8, c.y() - s), QPointF(c.x() + s, c.y()),
                       QPointF(c.x() - s * 0.8, c.y() + s)};
    p.setBrush(QColor(0x05, 0x1a, 0x3a, 120));
    p.drawPolygon(triangle.translated(0, std::max(0.6, h * 0.012)));
    p.setBrush(Qt::white);
    p.drawPolygon(triangle);

    // Feet.
    p.setBrush(QColor(0x3a, 0x3f, 0x44));
    const qreal footW = w * 0.14;
    const qreal footH = h * 0.07;
    p.drawRoundedRect(QRectF(x + w * 0.18, cabinet.bottom() - 0.5, footW, footH), 1, 1);
    p.drawRoundedRect(QRectF(x + w * 0.82 - footW, cabinet.bottom() - 0.5, footW, footH), 1, 1);

    if (large) {
        // An orbit around the set.
        p.setBrush(Qt::NoBrush);
        p.translate(cabinet.center());
        p.rotate(-14);
        QPen orbit(QColor(0x4a, 0xa3, 0xff, 150), h * 0.018);
        p.setPen(orbit);
        p.drawArc(QRectF(-w * 0.68, -h * 0.2, w * 1.36, h * 0.4), 200 * 16, 140 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kAccentLight);
        p.drawEllipse(QPointF(w * 0.6, h * 0.09), h * 0.03, h * 0.03);
    }
    p.restore();
}

void PaintLogoArt(QPainter& p, const QRectF& area) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal scale = std::min(area.width() / kBoardWidth, area.height() / kBoardHeight);
    p.translate(area.center().x() - kBoardWidth * scale / 2, area.center().y() - kBoardHeight * scale / 2);
    p.scale(scale, scale);

    // A faint blue halo behind the emblem.
    QRadialGradient halo(QPointF(70, 72), 78);
    halo.setColorAt(0, QColor(0x2f, 0x7d, 0xe1, 60));
    halo.setColorAt(1, QColor(0x2f, 0x7d, 0xe1, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(QPointF(70, 72), 78, 78);

    PaintEmblem(p, QRectF(20, 24, 102, 90));

    // Product name: one line, the Latin part white, the Chinese part blue.
    const qreal left = 140;
    const qreal maxWidth = kBoardWidth - left - 12;
    int size = 34;
    QFont font = UiFont(size, true);
    const QString latin = QStringLiteral("ORBIQ");
    const QString chinese = QStringLiteral("网络电视");
    const qreal gap = 6;
    while (size > 12) {
        font = UiFont(size, true);
        const QFontMetricsF m(font);
        if (m.horizontalAdvance(latin) + gap + m.horizontalAdvance(chinese) <= maxWidth) break;
        --size;
    }
    const QFontMetricsF m(font);
    const qreal baseline = 74;
    QPainterPath latinPath, chinesePath;
    latinPath.addText(left, baseline, font, latin);
    chinesePath.addText(left + m.horizontalAdvance(latin) + gap, baseline, font, chinese);
    FillText(p, latinPath, Qt::white, QColor(0xc3, 0xcc, 0xd6), baseline - m.ascent(), baseline);
    FillText(p, chinesePath, QColor(0x8c, 0xcb, 0xff), colour::kAccent, baseline - m.ascent(), baseline);

    // Rule and web address.
    const qreal textRight = left + m.horizontalAdvance(latin) + gap + m.horizontalAdvance(chinese);
    QLinearGradient rule(left, 0, textRight, 0);
    rule.setColorAt(0, colour::kAccentLight);
    rule.setColorAt(1, QColor(0x4a, 0xa3, 0xff, 0));
    p.fillRect(QRectF(left, 88, textRight - left, 1.5), rule);
    QFont small = UiFont(15);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    QPainterPath address;
    address.addText(left + 1, 110, small, QStringLiteral("www.orbiq.tv"));
    FillText(p, address, QColor(0xb4, 0xbb, 0xc2), QColor(0x88, 0x90, 0x98), 98, 110);
    p.restore();
}

QImage PaintMainLogo() {
    QImage image = Canvas(381, 140, Qt::black);
    QPainter p(&image);
    PaintLogoArt(p, QRectF(QPointF(0, 0), kLogoBox));  // the box clips the last column
    return image;
}

QImage PaintUpdateLogo() {
    QImage image = Canvas(381, 140, Qt::black);
    QPainter p(&image);
    PaintLogoArt(p, QRectF(QPointF(0, 0), kUpdateLogoBox));  // the update window shows only this part
    return image;
}

}  // namespace orbiq::skinpainter
