#include "tools/skinpainter/pictures.h"

#include "tools/skinpainter/board_skin.h"
#include "tools/skinpainter/decoder_skin.h"
#include "tools/skinpainter/gif_writer.h"
#include "tools/skinpainter/layout.h"
#include "tools/skinpainter/painters.h"
#include "tools/skinpainter/quantise.h"
#include "tools/skinpainter/report_skin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <functional>

namespace orbiq::skinpainter {
namespace {

constexpr int kJpegQuality = 92;

void Add(std::vector<Picture>& out, const QString& path, FileKind kind, QImage image) {
    out.push_back({path, kind, std::move(image)});
}

void AddStates(std::vector<Picture>& out, const QString& prefix, FileKind kind,
               const std::function<QImage(ButtonState)>& paint) {
    Add(out, prefix + QStringLiteral("_normal.bmp"), kind, paint(ButtonState::Normal));
    Add(out, prefix + QStringLiteral("_hover.bmp"), kind, paint(ButtonState::Hover));
    Add(out, prefix + QStringLiteral("_pressed.bmp"), kind, paint(ButtonState::Pressed));
}

}  // namespace

QString DenseName(const QString& path) {
    const int dot = path.lastIndexOf('.');
    return path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
}

std::vector<Picture> PaintPictures(int scale) {
    const PaintScaleScope density(scale);
    std::vector<Picture> out;
    const QImage skin = PaintMainSkin();
    Add(out, "main/skin.jpg", FileKind::Jpeg, skin);
    Add(out, "main/logo.gif", FileKind::Gif, PaintMainLogo());

    AddStates(out, "main/menu", FileKind::Bmp8,
              [](ButtonState s) { return PaintTitleButton(TitleGlyph::Menu, s, {31, 15}); });
    AddStates(out, "main/min", FileKind::Bmp8,
              [](ButtonState s) { return PaintTitleButton(TitleGlyph::Minimise, s, {31, 16}); });
    AddStates(out, "main/max", FileKind::Bmp8, [](ButtonState s) {
        return PaintTitleButton(TitleGlyph::Maximise, s, s == ButtonState::Pressed ? QSize(29, 14) : QSize(31, 16));
    });
    AddStates(out, "main/close", FileKind::Bmp8, [](ButtonState s) { return PaintCloseButton(s, {32, 15}); });

    AddStates(out, "main/play", FileKind::Bmp24, [&skin](ButtonState s) {
        return PaintPlayButton(skin, PlayGlyph::Play, s, s == ButtonState::Pressed ? QSize(36, 36) : QSize(36, 35));
    });
    AddStates(out, "main/pause", FileKind::Bmp24, [&skin](ButtonState s) {
        return PaintPlayButton(skin, PlayGlyph::Pause, s, s == ButtonState::Normal ? QSize(36, 35) : QSize(36, 36));
    });

    Add(out, "main/speaker.bmp", FileKind::Bmp24, PaintSpeaker(skin));
    Add(out, "main/slider_track.bmp", FileKind::Bmp24, PaintSliderTrack(skin, false, {49, 5}));
    Add(out, "main/slider_filled.bmp", FileKind::Bmp24, PaintSliderTrack(skin, true, {53, 5}));
    Add(out, "main/slider_thumb.bmp", FileKind::Bmp24, PaintSliderThumb(skin));

    Add(out, "main/open.gif", FileKind::Gif, PaintIconButton(skin, IconGlyph::Folder, kIconX[0]));
    Add(out, "main/sponsor.gif", FileKind::Gif, PaintIconButton(skin, IconGlyph::Sheet, kIconX[1]));
    Add(out, "main/fullscreen.gif", FileKind::Gif, PaintIconButton(skin, IconGlyph::Screen, kIconX[2]));
    Add(out, "main/website.gif", FileKind::Gif, PaintIconButton(skin, IconGlyph::LetterE, kIconX[3]));

    Add(out, "main/collapse.bmp", FileKind::Bmp24, PaintCollapseButton());
    Add(out, "main/tv_icon.png", FileKind::Png, PaintTvIcon());

    Add(out, "update/skin.bmp", FileKind::Bmp8, PaintUpdateSkin());
    Add(out, "update/logo.gif", FileKind::Gif, PaintUpdateLogo());
    AddStates(out, "update/close", FileKind::Bmp8, [](ButtonState s) { return PaintCloseButton(s, {32, 15}); });

    Add(out, "decoder/skin.jpg", FileKind::Jpeg, PaintDecoderSkin());
    Add(out, "decoder/logo.gif", FileKind::Gif, PaintDecoderLogo());
    Add(out, "decoder/emblem.png", FileKind::Png, PaintDecoderEmblem());
    Add(out, "decoder/close_normal.gif", FileKind::Gif, PaintDecoderCloseButton(ButtonState::Normal));
    Add(out, "decoder/close_hover.gif", FileKind::Gif, PaintDecoderCloseButton(ButtonState::Hover));
    Add(out, "decoder/close_pressed.gif", FileKind::Gif, PaintDecoderCloseButton(ButtonState::Pressed));

    // Channel error report window (its skin, emblem and close buttons are the decoder window's,
    // its button face the board's).
    Add(out, "report/banner.jpg", FileKind::Jpeg, PaintReportBanner());
    Add(out, "report/ok.gif", FileKind::Gif, PaintReportOkButton());

    Add(out, "board/skin.jpg", FileKind::Jpeg, PaintBoardSkin());
    Add(out, "board/login.bmp", FileKind::Bmp24, PaintBoardLoginPanel());
    Add(out, "board/prompt.bmp", FileKind::Bmp24, PaintBoardPromptStrip());
    Add(out, "board/send.jpg", FileKind::Jpeg, PaintBoardSendFace());
    Add(out, "board/drop_normal.jpg", FileKind::Jpeg, PaintBoardDropButton(ButtonState::Normal));
    Add(out, "board/drop_hover.jpg", FileKind::Jpeg, PaintBoardDropButton(ButtonState::Hover));
    Add(out, "board/drop_pressed.jpg", FileKind::Jpeg, PaintBoardDropButton(ButtonState::Pressed));
    Add(out, "board/close.gif", FileKind::Gif, PaintBoardCloseTab());
    return out;
}

bool SavePicture(const Picture& picture, const QString& filePath, QString* error) {
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = filePath + QStringLiteral(": ") + file.errorString();
        return false;
    }
    bool ok = false;
    switch (picture.kind) {
    case FileKind::Jpeg:
        ok = picture.image.convertToFormat(QImage::Format_RGB32).save(&file, "JPG", kJpegQuality);
        break;
    case FileKind::Bmp8:
        ok = ToIndexed8(picture.image).save(&file, "BMP");
        break;
    case FileKind::Bmp24:
        ok = picture.image.convertToFormat(QImage::Format_RGB32).save(&file, "BMP");
        break;
    case FileKind::Gif: {
        const QByteArray bytes = EncodeGif(picture.image);
        ok = file.write(bytes) == bytes.size();
        break;
    }
    case FileKind::Png:
        ok = picture.image.convertToFormat(QImage::Format_ARGB32).save(&file, "PNG");
        break;
    }
    if (!ok || !file.commit()) {
        if (error) *error = filePath + QStringLiteral(": cannot write the picture");
        return false;
    }
    return true;
}

bool WritePictures(const QString& outDir, QString* error) {
    const QDir root(outDir);
    for (int scale : {1, 2}) {
        for (const Picture& picture : PaintPictures(scale)) {
            const QString filePath = root.filePath(scale == 1 ? picture.path : DenseName(picture.path));
            if (!QDir().mkpath(QFileInfo(filePath).path())) {
                if (error) *error = QFileInfo(filePath).path() + QStringLiteral(": cannot create the folder");
                return false;
            }
            if (!SavePicture(picture, filePath, error)) return false;
        }
    }
    return true;
}

}  // namespace orbiq::skinpainter
