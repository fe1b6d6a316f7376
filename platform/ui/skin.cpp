#include "platform/ui/skin.h"

#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QTransform>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <cmath>
#include <vector>

namespace orbiq::platform {
namespace {

QImage ReadPicture(const QString& name) {
    QImageReader reader(QStringLiteral(":/pictures/") + name);
    return reader.read();
}

// The shape in device pixels, set on the X window itself: Qt hands a widget's mask to the
// window system in steps of the scale factor.
class DenseShape : public QObject {
public:
    DenseShape(QWidget* window, const QPainterPath& path) : QObject(window), window_(window), path_(path) {
        window->installEventFilter(this);
        Apply();
    }
    void SetPath(const QPainterPath& path) {
        path_ = path;
        Apply();
    }
    bool eventFilter(QObject*, QEvent* e) override {
        // Qt sets its own mask again when it makes the native window: ours goes on after it.
        if (e->type() == QEvent::Show || e->type() == QEvent::WinIdChange)
            QMetaObject::invokeMethod(this, [this] { Apply(); }, Qt::QueuedConnection);
        return false;
    }

private:
    void Apply() {
        QWindow* handle = window_->windowHandle();
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!handle || !x11 || !x11->display()) return;
        const qreal ratio = handle->devicePixelRatio();
        if (ratio == 1.0) return;  // Qt's own mask is exact
        const QRegion region(QTransform::fromScale(ratio, ratio).map(path_).toFillPolygon().toPolygon());
        std::vector<XRectangle> rects;
        for (const QRect& r : region)
            rects.push_back({static_cast<short>(r.x()), static_cast<short>(r.y()), static_cast<unsigned short>(r.width()),
                             static_cast<unsigned short>(r.height())});
        XShapeCombineRectangles(x11->display(), static_cast<::Window>(handle->winId()), ShapeBounding, 0, 0, rects.data(),
                                static_cast<int>(rects.size()), ShapeSet, Unsorted);
        XFlush(x11->display());
    }
    QWidget* window_;
    QPainterPath path_;
};

}  // namespace

QPixmap SkinPicture(const QString& resource) {
    if (resource.isEmpty()) return {};
    if (qGuiApp && qGuiApp->devicePixelRatio() > 1.0) {
        const int dot = resource.lastIndexOf('.');
        QImage dense = ReadPicture(resource.left(dot) + QStringLiteral("@2x") + resource.mid(dot));
        if (!dense.isNull()) {
            dense.setDevicePixelRatio(2.0);
            return QPixmap::fromImage(dense);
        }
    }
    return QPixmap::fromImage(ReadPicture(resource));
}

void SetWindowShape(QWidget* window, const QPainterPath& path) {
    window->setMask(QRegion(path.toFillPolygon().toPolygon()));
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
    for (QObject* child : window->children()) {
        if (auto* shape = dynamic_cast<DenseShape*>(child)) {
            shape->SetPath(path);
            return;
        }
    }
    new DenseShape(window, path);
}

}  // namespace orbiq::platform
