// The skin painter: every picture file with its kind and size, the skin's areas, the
// blends of buttons with the skin, and the GIF and palette encoders.
#include "tools/skinpainter/gif_writer.h"
#include "tools/skinpainter/layout.h"
#include "tools/skinpainter/pictures.h"
#include "tools/skinpainter/quantise.h"

#include "picture_names.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <random>
#include <set>

using namespace orbiq::skinpainter;

namespace {

enum class Kind { Jpeg, Bmp8, Bmp24, Gif, PngAlpha };

struct Expected {
    const char* path;
    Kind kind;
    int width;
    int height;
};

// Kind and pixel size of every file, as the window descriptions fix them.
const Expected kExpected[] = {
    {"main/skin.jpg", Kind::Jpeg, 794, 514},
    {"main/logo.gif", Kind::Gif, 381, 140},
    {"main/menu_normal.bmp", Kind::Bmp8, 31, 15},
    {"main/menu_hover.bmp", Kind::Bmp8, 31, 15},
    {"main/menu_pressed.bmp", Kind::Bmp8, 31, 15},
    {"main/min_normal.bmp", Kind::Bmp8, 31, 16},
    {"main/min_hover.bmp", Kind::Bmp8, 31, 16},
    {"main/min_pressed.bmp", Kind::Bmp8, 31, 16},
    {"main/max_normal.bmp", Kind::Bmp8, 31, 16},
    {"main/max_hover.bmp", Kind::Bmp8, 31, 16},
    {"main/max_pressed.bmp", Kind::Bmp8, 29, 14},
    {"main/close_normal.bmp", Kind::Bmp8, 32, 15},
    {"main/close_hover.bmp", Kind::Bmp8, 32, 15},
    {"main/close_pressed.bmp", Kind::Bmp8, 32, 15},
    {"main/play_normal.bmp", Kind::Bmp24, 36, 35},
    {"main/play_hover.bmp", Kind::Bmp24, 36, 35},
    {"main/play_pressed.bmp", Kind::Bmp24, 36, 36},
    {"main/pause_normal.bmp", Kind::Bmp24, 36, 35},
    {"main/pause_hover.bmp", Kind::Bmp24, 36, 36},
    {"main/pause_pressed.bmp", Kind::Bmp24, 36, 36},
    {"main/speaker.bmp", Kind::Bmp24, 11, 15},
    {"main/slider_track.bmp", Kind::Bmp24, 49, 5},
    {"main/slider_filled.bmp", Kind::Bmp24, 53, 5},
    {"main/slider_thumb.bmp", Kind::Bmp24, 13, 13},
    {"main/open.gif", Kind::Gif, 25, 25},
    {"main/sponsor.gif", Kind::Gif, 25, 25},
    {"main/fullscreen.gif", Kind::Gif, 25, 25},
    {"main/website.gif", Kind::Gif, 25, 25},
    {"main/collapse.bmp", Kind::Bmp24, 8, 7},
    {"main/tv_icon.png", Kind::PngAlpha, 16, 16},
    {"update/skin.bmp", Kind::Bmp8, 418, 310},
    {"update/logo.gif", Kind::Gif, 381, 140},
    {"update/close_normal.bmp", Kind::Bmp8, 32, 15},
    {"update/close_hover.bmp", Kind::Bmp8, 32, 15},
    {"update/close_pressed.bmp", Kind::Bmp8, 32, 15},
    {"decoder/skin.jpg", Kind::Jpeg, 382, 270},
    {"decoder/logo.gif", Kind::Gif, 225, 75},
    {"decoder/emblem.png", Kind::PngAlpha, 48, 48},
    {"decoder/close_normal.gif", Kind::Gif, 32, 22},
    {"decoder/close_hover.gif", Kind::Gif, 32, 22},
    {"decoder/close_pressed.gif", Kind::Gif, 32, 22},
    {"report/banner.jpg", Kind::Jpeg, 1077, 184},
    {"report/ok.gif", Kind::Gif, 71, 23},
    {"board/skin.jpg", Kind::Jpeg, 547, 358},
    {"board/login.bmp", Kind::Bmp24, 235, 134},
    {"board/prompt.bmp", Kind::Bmp24, 9, 39},
    {"board/send.jpg", Kind::Jpeg, 71, 23},
    {"board/drop_normal.jpg", Kind::Jpeg, 17, 20},
    {"board/drop_hover.jpg", Kind::Jpeg, 17, 20},
    {"board/drop_pressed.jpg", Kind::Jpeg, 17, 20},
    {"board/close.gif", Kind::Gif, 32, 22},
};

int Le16(const QByteArray& b, int at) { return uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8); }
int Le32(const QByteArray& b, int at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Size of a JPEG from its first start-of-frame marker.
QSize JpegSize(const QByteArray& b) {
    int at = 2;
    while (at + 9 < b.size() && uint8_t(b[at]) == 0xff) {
        const int marker = uint8_t(b[at + 1]);
        const int length = (uint8_t(b[at + 2]) << 8) | uint8_t(b[at + 3]);
        if (marker >= 0xc0 && marker <= 0xc3) {
            return {(uint8_t(b[at + 7]) << 8) | uint8_t(b[at + 8]), (uint8_t(b[at + 5]) << 8) | uint8_t(b[at + 6])};
        }
        at += 2 + length;
    }
    return {};
}

QString Identify(const QString& path) {
    QProcess identify;
    identify.start(QStandardPaths::findExecutable("identify"), {"-format", "%m %w %h", path});
    if (!identify.waitForFinished(20000) || identify.exitCode() != 0) return QStringLiteral("identify failed");
    return QString::fromLocal8Bit(identify.readAllStandardOutput()).trimmed();
}

int MaxChannelDifference(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

class PictureFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir();
        ASSERT_TRUE(dir_->isValid());
        QString error;
        ASSERT_TRUE(WritePictures(dir_->path(), &error)) << error.toStdString();
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static QString PathOf(const QString& name) { return dir_->filePath(name); }
    static QImage Load(const QString& name) { return QImage(PathOf(name)); }

    static QTemporaryDir* dir_;
};
QTemporaryDir* PictureFiles::dir_ = nullptr;

// Each picture at density 1 under its own name and at density 2 under its "@2x" name.
struct Density {
    int scale;
    QString Name(const Expected& e) const { return scale == 1 ? QString(e.path) : DenseName(e.path); }
};
const Density kDensities[] = {{1}, {2}};

TEST_F(PictureFiles, EveryFileHasItsKindAndSize) {
    for (const Density& d : kDensities)
    for (const Expected& e : kExpected) {
        const QString name = d.Name(e);
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = ReadAll(PathOf(name));
        ASSERT_GT(bytes.size(), 32);
        const QSize size(e.width * d.scale, e.height * d.scale);
        switch (e.kind) {
        case Kind::Jpeg:
            EXPECT_EQ(uint8_t(bytes[0]), 0xff);
            EXPECT_EQ(uint8_t(bytes[1]), 0xd8);
            EXPECT_EQ(JpegSize(bytes), size);
            break;
        case Kind::Bmp8:
        case Kind::Bmp24:
            EXPECT_EQ(bytes.left(2), "BM");
            EXPECT_EQ(QSize(Le32(bytes, 18), std::abs(Le32(bytes, 22))), size);
            EXPECT_EQ(Le16(bytes, 28), e.kind == Kind::Bmp8 ? 8 : 24);
            EXPECT_EQ(Le32(bytes, 30), 0) << "uncompressed";
            break;
        case Kind::Gif:
            EXPECT_EQ(bytes.left(6), "GIF89a");
            EXPECT_EQ(QSize(Le16(bytes, 6), Le16(bytes, 8)), size);
            break;
        case Kind::PngAlpha:
            EXPECT_EQ(bytes.mid(1, 3), "PNG");
            break;
        }
        QImageReader reader(PathOf(name));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), size);
        if (e.kind == Kind::PngAlpha) {
            EXPECT_TRUE(image.hasAlphaChannel());
            EXPECT_EQ(qAlpha(image.pixel(0, image.height() - 1)), 0) << "the corner is transparent";
        }
    }
}

TEST_F(PictureFiles, ImageMagickReadsEveryFile) {
    if (QStandardPaths::findExecutable("identify").isEmpty()) GTEST_SKIP() << "ImageMagick identify not installed";
    for (const Density& d : kDensities)
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(d.Name(e).toStdString());
        const char* format = e.kind == Kind::Jpeg ? "JPEG" : e.kind == Kind::Gif ? "GIF" : e.kind == Kind::PngAlpha ? "PNG" : "BMP3";
        EXPECT_EQ(Identify(PathOf(d.Name(e))),
                  QString("%1 %2 %3").arg(format).arg(e.width * d.scale).arg(e.height * d.scale));
    }
}

TEST_F(PictureFiles, PainterAndBuildListTheSameFiles) {
    std::set<std::string> expected;
    for (const Density& d : kDensities)
        for (const Expected& e : kExpected) expected.insert(d.Name(e).toStdString());

    std::set<std::string> written;
    QDirIterator it(dir_->path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) written.insert(QDir(dir_->path()).relativeFilePath(it.next()).toStdString());
    EXPECT_EQ(written, expected);

    const std::set<std::string> listed(std::begin(kBuildPictureNames), std::end(kBuildPictureNames));
    EXPECT_EQ(listed, expected) << "the custom command's OUTPUT list";
}

TEST_F(PictureFiles, SkinAreasUnderTheUnits) {
    const QImage skin = Load("main/skin.jpg");
    ASSERT_EQ(skin.size(), kMainSkinSize);
    struct Area {
        const char* what;
        QRect rect;
        int maxGrey;  // highest channel value allowed anywhere inside
    };
    const Area areas[] = {
        {"video area", kVideo, 8},
        {"status strip under the white status text", QRect(8, 418, 560, 28), 48},
        {"information area under the white labels", QRect(570, 416, 216, 96), 48},
        {"tree ground", kTree, 0x38},
    };
    for (const Area& a : areas) {
        SCOPED_TRACE(a.what);
        int worst = 0;
        for (int y = a.rect.top(); y <= a.rect.bottom(); ++y) {
            for (int x = a.rect.left(); x <= a.rect.right(); ++x) {
                const QRgb c = skin.pixel(x, y);
                worst = std::max({worst, qRed(c), qGreen(c), qBlue(c)});
            }
        }
        EXPECT_LE(worst, a.maxGrey);
    }
    // The tree list's own background colour fills its area, and the skin is not black
    // just outside the video area, so the video's edges show.
    EXPECT_LE(MaxChannelDifference(skin.pixel(kTree.center()), qRgb(0x29, 0x29, 0x21)), 4);
    EXPECT_GT(qGray(skin.pixel(300, 20)), 30) << "title strip";
    EXPECT_GT(qGray(skin.pixel(300, 505)), 20) << "control bar";
}

// The dense copy is the same picture: brought down to 1x it matches the 1x file, away from
// the edges where fine lines and lettering differ by a pixel.
TEST_F(PictureFiles, DenseCopyShowsTheSamePicture) {
    for (const Expected& e : kExpected) {
        SCOPED_TRACE(e.path);
        const QImage one = Load(e.path).convertToFormat(QImage::Format_ARGB32);
        const QImage two = Load(DenseName(e.path)).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(two.size(), one.size() * 2);
        const QImage down = two.scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        double total = 0;
        for (int y = 0; y < one.height(); ++y)
            for (int x = 0; x < one.width(); ++x) total += MaxChannelDifference(one.pixel(x, y), down.pixel(x, y));
        EXPECT_LE(total / (one.width() * one.height()), 16.0) << "mean difference";
    }
}

TEST_F(PictureFiles, ButtonCornersBlendWithTheSkin) {
    for (const Density& d : kDensities) {
    SCOPED_TRACE(d.scale);
    const int s = d.scale;
    auto load = [&d](const char* path) { return Load(d.Name({path, Kind::Jpeg, 0, 0})); };
    const QImage skin = load("main/skin.jpg");
    struct Placed {
        const char* path;
        QPoint at;
    };
    const Placed placed[] = {
        {"main/play_normal.bmp", kPlayButton},      {"main/play_hover.bmp", kPlayButton},
        {"main/play_pressed.bmp", kPlayButton},     {"main/pause_normal.bmp", kPlayButton},
        {"main/pause_hover.bmp", kPlayButton},      {"main/pause_pressed.bmp", kPlayButton},
        {"main/open.gif", {kIconX[0], kIconY}},     {"main/sponsor.gif", {kIconX[1], kIconY}},
        {"main/fullscreen.gif", {kIconX[2], kIconY}}, {"main/website.gif", {kIconX[3], kIconY}},
        {"main/speaker.bmp", kSpeaker},
    };
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.path);
        const QImage button = load(p.path);
        ASSERT_FALSE(button.isNull());
        const int r = button.width() - 1;
        const int b = button.height() - 1;
        for (QPoint corner : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)}) {
            // The skin is JPEG; allow its small error. GIF corners are also quantised.
            EXPECT_LE(MaxChannelDifference(button.pixel(corner), skin.pixel(p.at * s + corner)), 8)
                << "corner " << corner.x() << "," << corner.y();
        }
    }
    // The thumb slides along the slider: its corners match the bar at every position.
    const QImage thumb = load("main/slider_thumb.bmp");
    const int thumbY = kSlider.y() + (kSlider.height() - thumb.height() / s) / 2;
    for (int x = kSlider.left(); x + thumb.width() / s <= kSlider.right() + 1; x += 7) {
        EXPECT_LE(MaxChannelDifference(thumb.pixel(0, 0), skin.pixel(x * s, thumbY * s)), 8) << "x " << x;
    }
    }
}

// Round trip through Qt's GIF reader, ImageMagick and the palette that went in.
struct GifCase {
    const char* name;
    int width;
    int height;
    int colours;  // distinct colours drawn; above 256 the encoder quantises
    bool noise;   // random pixels, or long runs
};

void PrintTo(const GifCase& c, std::ostream* os) { *os << c.name; }

QImage MakeImage(const GifCase& c) {
    QImage image(c.width, c.height, QImage::Format_RGB32);
    std::mt19937 random(42);
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const int n = c.noise ? int(random() % unsigned(c.colours)) : (x / 7 + y * 3) % c.colours;
            image.setPixel(x, y, qRgb((n * 37) & 0xff, (n * 11 + n / 256 * 64) & 0xff, (n * 5 + 3) & 0xff));
        }
    }
    return image;
}

class GifRoundTrip : public ::testing::TestWithParam<GifCase> {};

TEST_P(GifRoundTrip, DecodesToThePaletteColours) {
    const GifCase& c = GetParam();
    const QImage source = MakeImage(c);
    const IndexedImage indexed = Quantise(source, 256);
    EXPECT_LE(indexed.palette.size(), 256);
    if (c.colours <= 256) {
        EXPECT_EQ(indexed.palette.size(), c.colours);
    }

    const QByteArray gif = EncodeGif(indexed);
    QImage decoded = QImage::fromData(gif, "GIF");
    ASSERT_FALSE(decoded.isNull());
    ASSERT_EQ(decoded.size(), source.size());
    decoded = decoded.convertToFormat(QImage::Format_RGB32);
    int wrong = 0;
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const QRgb want = indexed.palette[indexed.indices[size_t(y) * c.width + x]] | 0xff000000u;
            if ((decoded.pixel(x, y) | 0xff000000u) != want) ++wrong;
            if (c.colours <= 256 && want != (source.pixel(x, y) | 0xff000000u)) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);

    if (QStandardPaths::findExecutable("identify").isEmpty()) return;
    QTemporaryDir dir;
    const QString path = dir.filePath("case.gif");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(gif);
    f.close();
    EXPECT_EQ(Identify(path), QString("GIF %1 %2").arg(c.width).arg(c.height));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GifRoundTrip,
    ::testing::Values(GifCase{"single_pixel", 1, 1, 1, false},
                      GifCase{"one_colour_runs", 640, 480, 1, false},  // long strings, 12-bit codes
                      GifCase{"two_colours", 3, 2, 2, true},           // smallest code size
                      GifCase{"five_colours", 17, 13, 5, true},
                      GifCase{"full_palette_noise", 300, 200, 256, true},  // many dictionary resets
                      GifCase{"patterned_runs", 381, 140, 200, false},
                      GifCase{"quantised", 120, 90, 5000, true}),
    [](const ::testing::TestParamInfo<GifCase>& info) { return std::string(info.param.name); });

TEST(GifWriter, RefusesIndexOutsideThePalette) {
    IndexedImage image;
    image.width = 2;
    image.height = 1;
    image.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    image.indices = {0, 2};
    EXPECT_THROW(EncodeGif(image), std::invalid_argument);
    image.indices = {0};
    EXPECT_THROW(EncodeGif(image), std::invalid_argument) << "fewer indices than pixels";
}

TEST(Quantise, SmoothGradientKeepsCloseColours) {
    // 1024 distinct blue-grey steps, more than a palette holds.
    QImage image(1024, 4, QImage::Format_RGB32);
    for (int x = 0; x < 1024; ++x) {
        for (int y = 0; y < 4; ++y) image.setPixel(x, y, qRgb(x / 4, x / 8 + 20, (x * 3) % 256));
    }
    const IndexedImage indexed = Quantise(image, 256);
    ASSERT_LE(indexed.palette.size(), 256);
    int worst = 0;
    for (int x = 0; x < 1024; ++x) {
        worst = std::max(worst, MaxChannelDifference(indexed.palette[indexed.indices[x]], image.pixel(x, 0)));
    }
    EXPECT_LE(worst, 24);
}

TEST(SavePicture, EightBitBmpStaysEightBitWithFewColours) {
    // Qt writes a 4-bit BMP for an indexed image of 16 colours or fewer.
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    image.setPixel(2, 1, qRgb(200, 0, 0));
    QTemporaryDir dir;
    const QString path = dir.filePath("two.bmp");
    QString error;
    ASSERT_TRUE(SavePicture({"two.bmp", FileKind::Bmp8, image}, path, &error)) << error.toStdString();
    const QByteArray bytes = ReadAll(path);
    EXPECT_EQ(Le16(bytes, 28), 8);
    const QImage back(path);
    EXPECT_EQ(back.pixel(2, 1), qRgb(200, 0, 0));
    EXPECT_EQ(back.pixel(0, 0), qRgb(10, 20, 30));
}

TEST(SavePicture, ReportsAnUnwritableFolder) {
    QString error;
    EXPECT_FALSE(SavePicture({"x.bmp", FileKind::Bmp24, QImage(2, 2, QImage::Format_RGB32)},
                             "/nonexistent-folder/x.bmp", &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
