// What the unit files of platform/ui share: calls onto the UI thread, the unit behind a
// reference, and the making of each unit type (CreateUnit maps the stored type names onto these).
#pragma once

#include <QCoreApplication>
#include <QJsonObject>

#include <memory>
#include <utility>

#include "platform/ui/program.h"
#include "platform/ui/units.h"

namespace orbiq::platform {

// Runs f on the UI thread and returns its result; from another thread the caller waits.
template <typename F>
auto OnUi(F f) -> decltype(f()) {
    if (IsUiThread() || !QCoreApplication::instance()) return f();
    decltype(f()) result{};
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}
// Writes from another thread are queued; a window gone by then is skipped (f looks it up).
template <typename F>
void WriteOnUi(F f) {
    if (IsUiThread() || !QCoreApplication::instance()) { f(); return; }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(f), Qt::QueuedConnection);
}

template <typename U>
U* As(const UnitRef& ref) { return dynamic_cast<U*>(FindUnit(ref)); }

std::unique_ptr<Unit> CreatePictureBoxUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateLabelUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateGraphicButtonUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateSuperButtonUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateButtonUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateRadioUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateEditUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateTreeUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateComboUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateReportListUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateSliderUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateProgressUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateGroupUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateTabControlUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateTimerUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateDialogUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateBalloonTipUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateHtmlViewUnit(Window* window, const QJsonObject& description);
std::unique_ptr<Unit> CreateHyperlinkUnit(Window* window, const QJsonObject& description);

}  // namespace orbiq::platform
