#include "tools/skinpainter/layout.h"
#include "tools/skinpainter/painters.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace orbiq::skinpainter {
namespace {

// The window outline: square at the bottom, round at the top like the window region.
QPainterPath TopRoundedRect(const QRectF& r, qreal radius) {
    QPainterPath path;
    path.moveTo(r.left(), r.bottom());
    path.lineTo(r.left(), r.top() + radius);
    path.arcTo(QRectF(r.left(), r.top(), 2 * radius, 2 * radius), 180, -90);
    path.lineTo(r.right() - radius, r.top());
    path.arcTo(QRectF(r.right() - 2 * radius, r.top(), 2 * radius, 2 * radius), 90, -90);
    path.lineTo(r.right(), r.bottom());
    return path;
}

void PaintTitleStrip(QPainter& p) {
    const int w = kMainSkinSize.width();
    FillVertical(p, QRect(0, 0, w, kTitleHeight), QColor(0x3d, 0x42, 0x48), QColor(0x30, 0x34, 0x39),
                 QColor(0x26, 0x2a, 0x2e));
    // Soft sheen on the upper half.
    QLinearGradient sheen(0, 0, 0, kTitleHeight / 2);
    sheen.setColorAt(0, QColor(255, 255, 255, 16));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRect(0, 0, w, kTitleHeight / 2), sheen);
    HLine(p, 0, w - 1, 38, QColor(0x17, 0x19, 0x1c));
    HLine(p, 0, w - 1, 39, QColor(0x0c, 0x0d, 0x0f));

    // Product name: emblem, then the name in two tones.
    p.setRenderHint(QPainter::Antialiasing);
    PaintEmblem(p, QRectF(11, 6, 31, 27));
    QPainterPath latin, chinese;
    const QFont font = UiFont(19, true);
    latin.addText(50, 27, font, QStringLiteral("ORBIQ"));
    chinese.addText(50 + latin.boundingRect().width() + 5, 27, font, QStringLiteral("网络电视"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawPath(latin.translated(0, 1));
    p.drawPath(chinese.translated(0, 1));
    QLinearGradient white(0, 10, 0, 28);
    white.setColorAt(0, QColor(0xff, 0xff, 0xff));
    white.setColorAt(1, QColor(0xcf, 0xd6, 0xde));
    p.setBrush(white);
    p.drawPath(latin);
    QLinearGradient blue(0, 10, 0, 28);
    blue.setColorAt(0, QColor(0x7c, 0xc2, 0xff));
    blue.setColorAt(1, colour::kAccent);
    p.setBrush(blue);
    p.drawPath(chinese);
    p.setRenderHint(QPainter::Antialiasing, false);

    // Tray behind the title buttons; the menu button sits 1 pixel lower, so its top row
    // takes the button face's colour.
    const QRect tray = kTitleButtons.adjusted(-1, 0, 1, 1);
    p.fillRect(tray, QColor(0x16, 0x18, 0x1b));
    HLine(p, kMenuButton.x(), kMinButton.x() + 1, 0, QColor(0x47, 0x4c, 0x52));
    HLine(p, tray.left(), tray.right(), tray.bottom() + 1, QColor(255, 255, 255, 18));
}

void PaintVideoBezel(QPainter& p) {
    // Left bezel beside the video, status strip and control bar.
    VLine(p, 1, 40, kMainSkinSize.height() - 2, QColor(0x33, 0x38, 0x3d));
    p.fillRect(kVideo, Qt::black);

    // Status strip: dark and plain under the white status text.
    const QRect s = kStatusStrip;
    HLine(p, s.left(), s.right(), s.top(), QColor(0x2b, 0x2f, 0x34));
    FillVertical(p, s.adjusted(0, 1, 0, -1), QColor(0x1b, 0x1e, 0x21), QColor(0x15, 0x17, 0x1a));
    HLine(p, s.left(), s.right(), s.bottom(), QColor(0x0c, 0x0d, 0x0f));
}

// A round hollow the play button sits in.
void PaintPlaySocket(QPainter& p) {
    const QPointF c(kPlayButton.x() + 18.0, kPlayButton.y() + 17.5);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient hollow(0, c.y() - 21, 0, c.y() + 21);
    hollow.setColorAt(0, QColor(0x12, 0x14, 0x16));
    hollow.setColorAt(1, QColor(0x2a, 0x2e, 0x33));
    QLinearGradient lip(0, c.y() - 21, 0, c.y() + 21);
    lip.setColorAt(0, QColor(0, 0, 0, 110));
    lip.setColorAt(0.55, QColor(0, 0, 0, 40));
    lip.setColorAt(1, QColor(255, 255, 255, 50));
    p.setBrush(hollow);
    p.setPen(QPen(QBrush(lip), 1.0));
    p.drawEllipse(c, 20.5, 20.5);
    p.setRenderHint(QPainter::Antialiasing, false);
}

// Square hollows for the four icon buttons.
void PaintIconSockets(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    for (int x : kIconX) {
        const QRectF r(x - 2.5, kIconY - 2.5, kIconSize + 4, kIconSize + 4);
        QLinearGradient lip(0, r.top(), 0, r.bottom());
        lip.setColorAt(0, QColor(0, 0, 0, 120));
        lip.setColorAt(0.6, QColor(0, 0, 0, 50));
        lip.setColorAt(1, QColor(255, 255, 255, 46));
        p.setPen(QPen(QBrush(lip), 1.0));
        p.setBrush(QColor(0x17, 0x19, 0x1c));
        p.drawRoundedRect(r, 5, 5);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
}

void PaintDivider(QPainter& p, int x) {
    const int top = kControlBar.top() + 12;
    const int bottom = kControlBar.bottom() - 12;
    VLine(p, x, top, bottom, QColor(0x17, 0x19, 0x1c));
    VLine(p, x + 1, top, bottom, QColor(0x42, 0x47, 0x4d));
}

void PaintControlBar(QPainter& p) {
    const QRect bar = kControlBar.adjusted(1, 0, 0, -1);
    FillVertical(p, bar, QColor(0x38, 0x3d, 0x43), QColor(0x2b, 0x2f, 0x34), QColor(0x21, 0x24, 0x28));
    HLine(p, bar.left(), bar.right(), bar.top(), QColor(0x4a, 0x50, 0x56));
    PaintPlaySocket(p);
    PaintDivider(p, 94);
    PaintDivider(p, 206);
    PaintIconSockets(p);
}

void PaintPanel(QPainter& p) {
    const QRect panel = kPanel;
    const int right = panel.right() - 1;  // last column is the window edge
    VLine(p, panel.left(), panel.top(), panel.bottom(), QColor(0x0c, 0x0d, 0x0f));
    VLine(p, panel.left() + 1, panel.top(), panel.bottom(), QColor(0x3a, 0x3f, 0x44));
    FillVertical(p, QRect(panel.left() + 2, panel.top(), right - panel.left() - 1, panel.height() - 1),
                 QColor(0x27, 0x2b, 0x2f), QColor(0x1f, 0x22, 0x25));

    // Heading band over the channel tree, underlined in the accent colour.
    const QRect band(panel.left() + 2, panel.top(), right - panel.left() - 1, kTree.top() - 1 - panel.top());
    FillVertical(p, band, QColor(0x37, 0x3c, 0x42), QColor(0x2a, 0x2e, 0x33));
    HLine(p, band.left(), band.right(), band.top(), QColor(0x45, 0x4a, 0x50));
    QLinearGradient accent(kTree.left() - 1, 0, kTree.right() + 1, 0);
    accent.setColorAt(0, colour::kAccentLight);
    accent.setColorAt(0.7, colour::kAccent);
    accent.setColorAt(1, QColor(0x1f, 0x5f, 0xb8));
    p.fillRect(QRect(kTree.left() - 1, kTree.top() - 1, kTree.width() + 2, 1), accent);

    // Frame and ground of the tree list; the tree paints the same colour over it.
    const QRect frame = kTree.adjusted(-1, 0, 1, 1);
    VLine(p, frame.left(), frame.top(), frame.bottom(), QColor(0x12, 0x14, 0x16));
    VLine(p, frame.right(), frame.top(), frame.bottom(), QColor(0x12, 0x14, 0x16));
    HLine(p, frame.left(), frame.right(), frame.bottom(), QColor(0x3a, 0x3f, 0x44));
    p.fillRect(kTree, colour::kTreeBack);

    // Information area under the tree: plain and dark for the white labels.
    const QRect info(panel.left() + 2, kInfo.top(), right - panel.left() - 1, kInfo.height());
    HLine(p, info.left(), info.right(), info.top(), QColor(0x14, 0x16, 0x18));
    HLine(p, info.left(), info.right(), info.top() + 1, QColor(0x33, 0x37, 0x3c));
    p.fillRect(info.adjusted(0, 2, 0, 0), QColor(0x1c, 0x1f, 0x22));
    VLine(p, right, panel.top(), panel.bottom(), QColor(0x30, 0x34, 0x39));
}

void PaintOutline(QPainter& p) {
    const int w = kMainSkinSize.width();
    const int h = kMainSkinSize.height();
    HLine(p, 0, w - 1, h - 1, colour::kEdge);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour::kEdge, 1.0));
    p.drawPath(TopRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1.5), kCornerRadius));
    // Highlight just inside the outline along the title strip.
    QLinearGradient fade(0, 0, 0, kTitleHeight);
    fade.setColorAt(0, QColor(255, 255, 255, 46));
    fade.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(QPen(QBrush(fade), 1.0));
    p.setClipRect(QRect(0, 0, w, kTitleHeight));
    p.drawPath(TopRoundedRect(QRectF(1.5, 1.5, w - 3, h - 3), kCornerRadius - 1));
    p.setClipping(false);
    p.setRenderHint(QPainter::Antialiasing, false);
}

}  // namespace

QImage PaintMainSkin() {
    QImage skin = Canvas(kMainSkinSize.width(), kMainSkinSize.height(), Qt::black);
    QPainter p(&skin);
    FillVertical(p, QRect(QPoint(0, 0), kMainSkinSize), QColor(0x2b, 0x2f, 0x34), QColor(0x1f, 0x22, 0x25));
    PaintTitleStrip(p);
    PaintControlBar(p);
    PaintPanel(p);
    PaintVideoBezel(p);
    PaintOutline(p);
    p.end();
    return skin;
}

}  // namespace orbiq::skinpainter
