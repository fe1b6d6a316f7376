#include "tools/skinpainter/paint_kit.h"

#include <QLinearGradient>

namespace orbiq::skinpainter {

namespace {
int gScale = 1;
}  // namespace

int PaintScale() { return gScale; }
PaintScaleScope::PaintScaleScope(int scale) : previous_(gScale) { gScale = scale; }
PaintScaleScope::~PaintScaleScope() { gScale = previous_; }

QImage Canvas(int width, int height, const QColor& fill) {
    QImage image(width * gScale, height * gScale, QImage::Format_RGB32);
    image.setDevicePixelRatio(gScale);
    image.fill(fill);
    return image;
}

QImage AlphaCanvas(int width, int height) {
    QImage image(width * gScale, height * gScale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(gScale);
    image.fill(Qt::transparent);
    return image;
}

QFont UiFont(int pixelSize, bool bold) {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void FillVertical(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
}

void FillVertical(QPainter& p, const QRectF& r, const QColor& top, const QColor& middle, const QColor& bottom) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(0.5, middle);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
}

void HLine(QPainter& p, int x0, int x1, int y, const QColor& c) {
    if (x1 < x0) return;
    p.fillRect(QRect(x0, y, x1 - x0 + 1, 1), c);
}

void VLine(QPainter& p, int x, int y0, int y1, const QColor& c) {
    if (y1 < y0) return;
    p.fillRect(QRect(x, y0, 1, y1 - y0 + 1), c);
}

QImage Backdrop(const QImage& skin, const QRect& area) {
    QImage out = Canvas(area.width(), area.height());
    QPainter p(&out);
    const qreal r = skin.devicePixelRatio();  // the source rectangle counts the skin's own pixels
    p.drawImage(QRectF(0, 0, area.width(), area.height()), skin,
                QRectF(area.x() * r, area.y() * r, area.width() * r, area.height() * r));
    return out;
}

QColor WithAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

}  // namespace orbiq::skinpainter
