// The window manager's view of the test's windows, read with the X tools as any other
// client would (xprop, xdotool, wmctrl): stacking order, mapped or minimised, and a user's
// minimise and activation.
#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <QWindow>

#include <vector>

namespace orbiq::test {

inline QString RunXTool(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(10000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The X window behind a top-level widget (a change of its flags gives it a new one).
inline unsigned long XWindow(QWidget* w) { return w->windowHandle() ? w->windowHandle()->winId() : 0; }
inline QString XId(QWidget* w) { return QString("0x%1").arg(XWindow(w), 0, 16); }

// The managed windows from the bottom to the top (_NET_CLIENT_LIST_STACKING).
inline std::vector<unsigned long> StackingOrder() {
    std::vector<unsigned long> ids;
    const QString out = RunXTool("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
    auto it = QRegularExpression("0x[0-9a-fA-F]+").globalMatch(out.section('#', 1));
    while (it.hasNext()) ids.push_back(it.next().captured().toULong(nullptr, 16));
    return ids;
}

// A window's place in the stacking order (-1 when the manager does not list it).
inline int StackIndex(QWidget* w) {
    const auto ids = StackingOrder();
    for (size_t i = 0; i < ids.size(); ++i)
        if (ids[i] == XWindow(w)) return static_cast<int>(i);
    return -1;
}

// "Normal", "Iconic" (minimised) or "" (withdrawn), as the manager keeps it in WM_STATE.
inline QString WmState(QWidget* w) {
    const QString out = RunXTool("xprop", {"-id", XId(w), "WM_STATE"});
    QRegularExpressionMatch m = QRegularExpression("window state: (\\w+)").match(out);
    return m.hasMatch() ? m.captured(1) : QString();
}

// What the user does through the manager: the minimise button, and a click on the taskbar.
inline void MinimiseAsUser(QWidget* w) { RunXTool("xdotool", {"windowminimize", XId(w)}); }
inline void ActivateAsUser(QWidget* w) { RunXTool("wmctrl", {"-i", "-a", XId(w)}); }

}  // namespace orbiq::test
