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

// Paints every picture. Needs a QGuiApplication for the fonts.
std::vector<Picture> PaintPictures();

// Encodes one picture in its kind.
bool SavePicture(const Picture& picture, const QString& filePath, QString* error);

// Paints and writes every picture under outDir, creating the window folders.
bool WritePictures(const QString& outDir, QString* error);

}  // namespace orbiq::skinpainter
