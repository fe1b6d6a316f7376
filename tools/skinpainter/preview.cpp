#include "tools/skinpainter/preview.h"

#include "tools/skinpainter/layout.h"
#include "tools/skinpainter/paint_kit.h"

#include <QDir>
#include <QFontMetrics>
#include <QImageReader>
#include <QMap>
#include <QPainter>

#include <cmath>

namespace orbiq::skinpainter {
namespace {

const QColor kDesk{0x70, 0x76, 0x7d};

class Pictures {
public:
    explicit Pictures(const QString& dir) : dir_(dir) {}

    const QImage& operator()(const QString& name) {
        auto it = cache_.find(name);
        if (it == cache_.end()) {
            QImageReader reader(dir_.filePath(name));
            QImage image = reader.read();
            if (image.isNull()) missing_ << name;
            it = cache_.insert(name, image);
        }
        return *it;
    }

    QStringList missing() const { return missing_; }

private:
    QDir dir_;
    QMap<QString, QImage> cache_;
    QStringList missing_;
};

void Label(QPainter& p, const QRect& box, const QString& text, bool bold, const QColor& c = Qt::white,
           int flags = Qt::AlignLeft | Qt::AlignVCenter) {
    p.setFont(UiFont(12, bold));
    p.setPen(c);
    p.drawText(box, flags, text);
}

// What the window region leaves of the top corners.
void CutTopCorners(QImage& window, const QColor& outside) {
    const int r = kCornerRadius;
    for (int y = 0; y < r; ++y) {
        for (int x = 0; x < r; ++x) {
            const double dx = r - x - 0.5;
            const double dy = r - y - 0.5;
            if (dx * dx + dy * dy > r * r) {
                window.setPixelColor(x, y, outside);
                window.setPixelColor(window.width() - 1 - x, y, outside);
            }
        }
    }
}

QImage MainWindow(Pictures& pic) {
    QImage win = Canvas(kMainSkinSize.width(), kMainWindowHeight, Qt::black);
    QPainter p(&win);
    p.drawImage(0, 0, pic("main/skin.jpg"));

    p.drawImage(kLogo, pic("main/logo.gif"), QRect(QPoint(0, 0), kLogoBox));
    Label(p, QRect(8, 416, 560, 32), QStringLiteral("开心每一天,享受精彩TV时间.欢迎使用ORBIQ网络电视"), true, Qt::white,
          Qt::AlignCenter);

    Label(p, kHeading, QStringLiteral("ORBIQ网络电视直播列表"), true);
    p.fillRect(kTree, colour::kTreeBack);
    const QStringList items{QStringLiteral("央视频道"), QStringLiteral("  CCTV-1 综合"), QStringLiteral("  CCTV-5 体育"),
                            QStringLiteral("卫视频道"), QStringLiteral("  湖南卫视"), QStringLiteral("  浙江卫视"),
                            QStringLiteral("地方频道"), QStringLiteral("港澳台频道")};
    for (int i = 0; i < items.size(); ++i) {
        const int y = kTree.top() + 4 + i * 20;
        const bool child = items[i].startsWith(' ');
        const int x = kTree.left() + (child ? 22 : 6);
        p.drawImage(x, y + 2, pic("main/tv_icon.png"));
        if (i == 2) p.fillRect(QRect(x + 18, y, 120, 20), QColor(0x31, 0x6a, 0xc5));
        Label(p, QRect(x + 20, y, 180, 20), items[i].trimmed(), true, QColor(0xc0, 0xc0, 0xc0));
    }

    Label(p, QRect(576, 416, 88, 24), QStringLiteral("目前在线人数:"), true);
    Label(p, QRect(664, 416, 120, 24), QStringLiteral("11在线观看电视节目"), true);
    Label(p, QRect(568, 448, 64, 16), QStringLiteral("服务器状态:"), false);
    Label(p, QRect(568, 464, 64, 24), QStringLiteral("服务器一:"), false);
    Label(p, QRect(632, 464, 24, 24), QStringLiteral("正常"), false, QColor(0x40, 0xff, 0x40));
    Label(p, QRect(688, 464, 64, 24), QStringLiteral("服务器二:"), false);
    Label(p, QRect(744, 464, 24, 24), QStringLiteral("繁忙"), false, QColor(0xff, 0xff, 0x40));
    Label(p, QRect(568, 488, 64, 24), QStringLiteral("服务器三:"), false);
    Label(p, QRect(632, 488, 24, 24), QStringLiteral("正常"), false, QColor(0x40, 0xff, 0x40));

    p.drawImage(kMenuButton, pic("main/menu_normal.bmp"));
    p.drawImage(kMinButton, pic("main/min_normal.bmp"));
    p.drawImage(kMaxButton, pic("main/max_normal.bmp"));
    p.drawImage(kCloseButton, pic("main/close_normal.bmp"));

    p.drawImage(kPlayButton, pic("main/play_normal.bmp"));
    p.drawImage(kSpeaker, pic("main/speaker.bmp"));
    // The volume slider at 70 %.
    const QImage& track = pic("main/slider_track.bmp");
    const QImage& filled = pic("main/slider_filled.bmp");
    const QImage& thumb = pic("main/slider_thumb.bmp");
    const int trackX = kSlider.x() + (kSlider.width() - track.width()) / 2;
    const int trackY = kSlider.y() + (kSlider.height() - track.height()) / 2;
    p.drawImage(trackX, trackY, track);
    const int fill = int(std::lround(track.width() * 0.7));
    p.drawImage(QPoint(trackX, trackY), filled, QRect(0, 0, fill, filled.height()));
    p.drawImage(trackX + fill - thumb.width() / 2, kSlider.y() + (kSlider.height() - thumb.height()) / 2, thumb);

    const QStringList icons{"main/open.gif", "main/sponsor.gif", "main/fullscreen.gif", "main/website.gif"};
    for (int i = 0; i < 4; ++i) p.drawImage(kIconX[i], kIconY, pic(icons[i]));

    p.fillRect(QRect(8, 520, 760, 24), Qt::black);
    Label(p, QRect(120, 520, 420, 16), QStringLiteral("欢迎收看ORBIQ网络电视,频道每日更新,如有失效请及时上报..."), false);
    p.drawImage(kCollapse, pic("main/collapse.bmp"));
    p.end();
    CutTopCorners(win, kDesk);
    return win;
}

QImage UpdateWindow(Pictures& pic) {
    QImage win = Canvas(kUpdateWindow.width(), kUpdateWindow.height(), Qt::white);
    QPainter p(&win);
    p.drawImage(0, 0, pic("update/skin.bmp"));
    p.drawImage(kUpdateLogo, pic("update/logo.gif"), QRect(QPoint(0, 0), kUpdateLogoBox));
    p.fillRect(QRect(0, 88, 1, 136), QColor(44, 74, 110));
    Label(p, QRect(16, 136, 88, 24), QStringLiteral("服务器列表:"), true);
    const QList<QPair<QPoint, QString>> radios{{{8, 168}, QStringLiteral("服务器一(电视网提供)")},
                                               {{208, 168}, QStringLiteral("服务器二(论坛提供)")},
                                               {{8, 200}, QStringLiteral("服务器三(工作室提供)")}};
    p.setRenderHint(QPainter::Antialiasing);
    for (const auto& [at, text] : radios) {
        p.setPen(QColor(0xc0, 0xc0, 0xc0));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(at.x() + 1.5, at.y() + 2.5, 11, 11));
        Label(p, QRect(at.x() + 17, at.y(), 140, 16), text, false);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    Label(p, QRect(208, 192, 152, 32), QStringLiteral("最新程序版本号:1.33.2"), true);
    p.fillRect(QRect(8, 222, 400, 5), QColor(0xe6, 0xe6, 0xe6));
    p.fillRect(QRect(8, 222, 160, 5), QColor(0x06, 0xb0, 0x25));
    Label(p, QRect(8, 232, 88, 24), QStringLiteral("用户网络信息:"), true);
    Label(p, QRect(136, 232, 72, 24), QStringLiteral("服务器状态:"), true);
    Label(p, QRect(8, 256, 64, 16), QStringLiteral("网络以连接:"), false);
    Label(p, QRect(80, 256, 40, 16), QStringLiteral("true"), false);
    Label(p, QRect(136, 256, 272, 16), QStringLiteral("三台服务器运行正常"), false);
    p.drawImage(kUpdateClose, pic("update/close_normal.bmp"));
    p.end();
    CutTopCorners(win, kDesk);
    return win;
}

QImage AboutWindow(Pictures& pic) {
    QImage win = Canvas(379, 272, Qt::white);
    QPainter p(&win);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(0, 0, 380, 272), pic("update/skin.bmp"));
    p.drawImage(QRect(8, 32, 176, 56), pic("main/logo.gif"));
    p.drawImage(QPoint(349, 0), pic("main/close_normal.bmp"));
    Label(p, QRect(16, 88, 160, 24), QStringLiteral("ORBIQ网络电视8 (1.55.9)"), true);
    Label(p, QRect(16, 160, 144, 16), QStringLiteral("http://www.orbiq.tv/"), false);
    p.fillRect(QRect(16, 184, 352, 80), Qt::white);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(QRect(16, 184, 351, 79));
    p.end();
    CutTopCorners(win, kDesk);
    return win;
}

// Lays tiles out left to right, wrapping at a width.
class Flow {
public:
    Flow(QPainter& p, QPoint origin, int width) : p_(p), origin_(origin), width_(width), at_(origin) {}

    void Tile(const QImage& image, int zoom, const QString& caption) {
        const QSize size = image.size() * zoom;
        const int tileW = std::max(size.width(), 60) + 12;
        if (at_.x() + tileW > origin_.x() + width_) NewLine();
        p_.drawImage(QRect(at_, size), image);
        p_.setFont(UiFont(11));
        p_.setPen(Qt::white);
        p_.drawText(QPoint(at_.x(), at_.y() + size.height() + 13), caption);
        at_.rx() += tileW;
        rowHeight_ = std::max(rowHeight_, size.height() + 20);
    }

    void NewLine() {
        at_ = QPoint(origin_.x(), at_.y() + rowHeight_ + 6);
        rowHeight_ = 0;
    }

    int bottom() const { return at_.y() + rowHeight_; }

private:
    QPainter& p_;
    QPoint origin_;
    int width_;
    QPoint at_;
    int rowHeight_ = 0;
};

QImage Crop(const QImage& image, const QRect& r) { return image.copy(r); }

// A button state placed on the window around it, so the blend shows.
QImage InPlace(const QImage& window, const QImage& button, QPoint at, const QRect& area) {
    QImage out = window.copy(area);
    QPainter p(&out);
    p.drawImage(at - area.topLeft(), button);
    return out;
}

}  // namespace

bool WritePreview(const QString& pictureDir, const QString& pngPath, QString* error) {
    Pictures pic(pictureDir);
    const QImage main = MainWindow(pic);
    const QImage update = UpdateWindow(pic);
    const QImage about = AboutWindow(pic);

    const int margin = 16;
    QImage sheet = Canvas(1240, 2000, kDesk);
    QPainter p(&sheet);
    p.drawImage(margin, margin, main);
    const int column = margin * 2 + main.width();
    p.drawImage(column, margin, update);
    p.drawImage(column, margin * 2 + update.height(), about);

    // Button states in place, enlarged.
    Flow flow(p, QPoint(margin, margin * 2 + main.height()), sheet.width() - 2 * margin);
    const QRect titleArea(664, 0, 130, 20);
    for (const char* name : {"menu", "min", "max", "close"}) {
        const QPoint at = QString(name) == "menu" ? kMenuButton
                        : QString(name) == "min"  ? kMinButton
                        : QString(name) == "max"  ? kMaxButton
                                                  : kCloseButton;
        for (const char* state : {"hover", "pressed"}) {
            const QString file = QStringLiteral("main/%1_%2.bmp").arg(name, state);
            flow.Tile(InPlace(main, pic(file), at, titleArea), 3, file.mid(5));
        }
    }
    flow.NewLine();
    const QRect playArea(30, 455, 56, 52);
    for (const char* file : {"main/play_normal.bmp", "main/play_hover.bmp", "main/play_pressed.bmp",
                             "main/pause_normal.bmp", "main/pause_hover.bmp", "main/pause_pressed.bmp"}) {
        flow.Tile(InPlace(main, pic(file), kPlayButton, playArea), 3, QString(file).mid(5));
    }
    flow.NewLine();
    for (const char* file : {"main/open.gif", "main/sponsor.gif", "main/fullscreen.gif", "main/website.gif",
                             "main/speaker.bmp", "main/slider_thumb.bmp", "main/collapse.bmp", "main/tv_icon.png",
                             "update/close_hover.bmp", "update/close_pressed.bmp"}) {
        flow.Tile(pic(file), 4, QString(file).section('/', 1));
    }
    flow.Tile(pic("main/slider_track.bmp"), 4, QStringLiteral("slider_track"));
    flow.Tile(pic("main/slider_filled.bmp"), 4, QStringLiteral("slider_filled"));
    flow.NewLine();
    flow.Tile(Crop(main, QRect(0, 440, 580, 104)), 2, QStringLiteral("control bar, 2x"));
    flow.Tile(Crop(main, QRect(0, 0, 300, 44)), 2, QStringLiteral("title, 2x"));
    const int height = flow.bottom() + margin;
    p.end();

    if (!pic.missing().isEmpty()) {
        if (error) *error = QStringLiteral("missing pictures: ") + pic.missing().join(QStringLiteral(", "));
        return false;
    }
    if (!sheet.copy(0, 0, sheet.width(), std::min(height, sheet.height())).save(pngPath, "PNG")) {
        if (error) *error = pngPath + QStringLiteral(": cannot write the preview");
        return false;
    }
    return true;
}

}  // namespace orbiq::skinpainter
