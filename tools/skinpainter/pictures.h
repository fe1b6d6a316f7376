// The list of skin pictures: folder, file name, file kind and pixel size, and writing them.
#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace orbiq::skinpainter {

enum class FileKind { Jpeg, Bmp8, Bmp24, Gif, Png };

struct Picture {
    QString path;  // "<window>/<file name>"
    FileKind kind;
    QImage image;
};

// Paints every picture at a density of 1 or 2 (twice the pixels each way, devicePixelRatio 2).
// Needs a QGuiApplication for the fonts.
std::vector<Picture> PaintPictures(int scale = 1);

// The file name of a picture's copy at density 2: "main/skin.jpg" -> "main/skin@2x.jpg".
QString DenseName(const QString& path);

// Encodes one picture in its kind.
bool SavePicture(const Picture& picture, const QString& filePath, QString* error);

// Paints and writes every picture under outDir at both densities, creating the window folders.
bool WritePictures(const QString& outDir, QString* error);

}  // namespace orbiq::skinpainter
