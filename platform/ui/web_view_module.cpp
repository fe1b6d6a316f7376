// The web view module: Qt WebEngine views for the HTML view unit (see web_view_module.h).
#include "platform/ui/web_view_module.h"

#include <QByteArray>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QUrl>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

#include <optional>

// QtGui exports it (private API); Qt WebEngine's start-up hook uses it the same way.
void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace {

bool SandboxOff() {
    return qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX") ||
           qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox"));
}

// Runs once, before the first view makes the engine start.
void PrepareEngine() {
    // Chromium will not start its sandbox for root; as root the pages load without it.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The adverts come from one site: one renderer serves every view. Without a sandbox the
    // zygote only adds processes. Flags the user set are left as they are.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS")) {
        QByteArray flags = "--process-per-site";
        if (SandboxOff()) flags += " --no-zygote";
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
    // Loaded after the application object exists, the engine finds no shared OpenGL context
    // (it makes one only when it is linked into the program, at start) and Qt 6.4 crashes
    // asking for the format of the missing one. The views draw in software instead: an
    // uncreated context stands in, and Qt Quick (inside each view) uses its software renderer.
    // The program's own widgets may still use OpenGL.
    if (!QOpenGLContext::globalShareContext()) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        qt_gl_set_global_share_context(new QOpenGLContext);
    }
}

// The engine asks whether OpenGL may be used from several threads as it starts. Under X that
// question loads the OpenGL driver (Mesa's software one: LLVM, 50 MiB and a thread a core) to
// try a context, although the views draw in software. Qt skips that check when told to; the
// answer is read once, while the engine starts, and the program's own OpenGL stays as it was.
class SkipThreadedGlCheck {
public:
    SkipThreadedGlCheck() : set_(!qEnvironmentVariableIsSet(kName)) {
        if (set_) qputenv(kName, "1");
    }
    ~SkipThreadedGlCheck() {
        if (set_) qunsetenv(kName);
    }

private:
    static constexpr char kName[] = "QT_OPENGL_NO_SANITY_CHECK";
    bool set_;
};

QWidget* Create(QWidget* parent, void (*openLink)(const char*)) {
    static bool prepared = false;
    std::optional<SkipThreadedGlCheck> skip;
    if (!prepared) {
        PrepareEngine();
        skip.emplace();
        prepared = true;
    }
    auto* view = new QWebEngineView(parent);
    QWebEnginePage* page = view->page();  // the first page starts the engine
    QObject::connect(page, &QWebEnginePage::newWindowRequested, view,
                     [openLink](QWebEngineNewWindowRequest& request) {
                         openLink(request.requestedUrl().toEncoded().constData());
                     });
    return view;
}

void Load(QWidget* view, const char* encodedAddress) {
    static_cast<QWebEngineView*>(view)->load(QUrl::fromEncoded(QByteArray(encodedAddress)));
}

constexpr orbiq::platform::WebViewModule kModule{orbiq::platform::kWebViewModuleVersion, &Create, &Load};

}  // namespace

extern "C" Q_DECL_EXPORT const orbiq::platform::WebViewModule* orbiq_web_view_module() { return &kModule; }
