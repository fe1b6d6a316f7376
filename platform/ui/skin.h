// Skin pictures and window shapes at the screen's pixel density.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

class QPainterPath;
class QWidget;

namespace orbiq::platform {

// A skin picture of the forms' resources by its stored name ("main/skin.jpg"). On a screen of
// more than one device pixel per pixel, its twice-as-dense copy ("main/skin@2x.jpg") when there is one.
QPixmap SkinPicture(const QString& resource);

// A picture's size in the pixels that layouts count (a dense copy counts as its 1x size).
inline QSize LogicalSize(const QPixmap& pixmap) { return pixmap.deviceIndependentSize().toSize(); }

// Shapes a window by a path in its own pixels. On a screen of more than one device pixel per
// pixel, the edge follows the path in device pixels too, not in steps of the scale.
void SetWindowShape(QWidget* window, const QPainterPath& path);

}  // namespace orbiq::platform
