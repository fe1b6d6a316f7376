// orbiq_skinpainter <outdir>: paints every skin picture into <outdir>/<window>/.
// orbiq_skinpainter --preview <picturedir> <sheet.png>: assembles the written pictures.
#include "tools/skinpainter/pictures.h"
#include "tools/skinpainter/preview.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool preview = argc == 4 && std::strcmp(argv[1], "--preview") == 0;
    if (!preview && argc != 2) {
        std::fprintf(stderr, "usage: %s <outdir>\n       %s --preview <picturedir> <sheet.png>\n", argv[0], argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    QString error;
    const bool ok = preview ? orbiq::skinpainter::WritePreview(QString::fromLocal8Bit(argv[2]),
                                                               QString::fromLocal8Bit(argv[3]), &error)
                            : orbiq::skinpainter::WritePictures(QString::fromLocal8Bit(argv[1]), &error);
    if (!ok) {
        std::fprintf(stderr, "orbiq_skinpainter: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
