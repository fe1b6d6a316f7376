// Shows a media file playing in a window (optionally full screen) and saves two screenshots,
// one and two and a half seconds after the playing state:
//   media_show <file> <prefix> [fullscreen]   ->  <prefix>-1.png, <prefix>-2.png
// Used by xvfb_shot.sh; not a ctest test.
#include <cstdio>

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/media/media_engine.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: media_show <file> <prefix> [fullscreen]\n");
        return 2;
    }
    const bool fullScreen = argc > 3;
    const QString prefix = QString::fromLocal8Bit(argv[2]);

    QWidget window;
    window.setWindowTitle(QStringLiteral("media_show"));
    window.setStyleSheet(QStringLiteral("background: #2a6"));
    window.setGeometry(40, 40, 600, 420);
    auto engine = orbiq::platform::CreateMpvEngine(&window);
    engine->Widget()->setGeometry(17, 22, 566, 376);
    QObject::connect(engine.get(), &orbiq::platform::MediaEngine::PlayStateChange, [](int s) {
        std::printf("state %d\n", s);
        std::fflush(stdout);
    });
    window.show();
    engine->SetUrl(orbiq::Text(argv[1]));

    int exitCode = 1;
    QObject::connect(engine.get(), &orbiq::platform::MediaEngine::PlayStateChange, [&](int s) {
        if (s != orbiq::platform::wmppsPlaying) return;
        if (fullScreen) engine->SetFullScreen(true);
        auto grab = [&](const QString& name) {
            const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(name);
            std::printf("saved %s: %d, full screen %d, state %d\n", qPrintable(name), saved, engine->FullScreen(),
                        engine->PlayState());
            std::fflush(stdout);
            return saved;
        };
        QTimer::singleShot(1000, [&, grab] { grab(prefix + QStringLiteral("-1.png")); });
        QTimer::singleShot(2500, [&, grab] {
            exitCode = grab(prefix + QStringLiteral("-2.png")) ? 0 : 1;
            app.quit();
        });
    });
    QTimer::singleShot(15000, &app, [&] { app.quit(); });
    app.exec();
    return exitCode;
}
