// The desktop around the windows: the clipboard, the mouse cursor and the screen.
#include "platform/ui/program.h"

#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "platform/ui/units_internal.h"

namespace orbiq::platform {

void SetClipboardText(const Text& text) {
    WriteOnUi([text] { QGuiApplication::clipboard()->setText(Q(text)); });
}
Text ClipboardText() {
    return OnUi([] { return T(QGuiApplication::clipboard()->text()); });
}

void CursorPosition(int32_t* x, int32_t* y) {
    QPoint p = OnUi([] { return QCursor::pos(); });
    *x = p.x();
    *y = p.y();
}
int32_t ScreenWidth() {
    return OnUi([]() -> int32_t {
        QScreen* s = QGuiApplication::primaryScreen();
        return s ? s->geometry().width() : 0;
    });
}

}  // namespace orbiq::platform
