// The unit types that window descriptions name, and the window that holds them.
#pragma once

#include <QJsonObject>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_widgets.h"

class QEventLoop;
class QMenu;
class QAction;

namespace orbiq::platform {

class Window;

QString Q(const Text& text);
Text T(const QString& text);
QColor ColourFromRef(int32_t colourRef);  // COLORREF 0x00BBGGRR

// Reading property values and stored description keys, shared by every unit type.
int32_t IntOf(const PropValue& value);
Text TextOf(const PropValue& value);
uint32_t ColourValue(const QJsonValue& stored);   // "0xBBGGRR" or a number
QFont FontOf(const QJsonObject& description);    // "宋体"-like faces through fontconfig fallbacks
Qt::Alignment AlignOf(const QJsonObject& description);

class Unit {
public:
    Unit(Window* window, const QJsonObject& description);
    virtual ~Unit();

    virtual QWidget* Widget() { return nullptr; }
    virtual PropValue Get(Prop prop);
    virtual bool Set(Prop prop, const PropValue& value);
    // Called once every unit exists (parents resolved); the stored properties go in here.
    virtual void Build(QWidget* parent);

    void Raise(const std::string& event, const EventArgs& args = {});

    Window* window() const { return window_; }
    const std::string& name() const { return name_; }
    const std::string& type() const { return type_; }
    const QJsonObject& description() const { return description_; }
    const std::map<std::string, std::string>& events() const { return events_; }

protected:
    void ApplyCommon();  // geometry, visibility, cursor, tooltip

    Window* window_;
    QJsonObject description_;
    std::string name_;
    std::string type_;
    std::map<std::string, std::string> events_;
};

std::unique_ptr<Unit> CreateUnit(Window* window, const QJsonObject& description);

// Before a window first shows: it stays on top while a shown window of ours does, and a
// modal one (self: ours, or null for a message box) is tied to the window it blocks.
void StackLikeOwnWindows(QWidget* widget, bool modal, Window* self);
// After a modal window or the window it blocks was minimised or restored: the other follows.
void KeepWithBlockedWindow(Window* window);

class Window {
public:
    Window(uint64_t id, const QJsonObject& form, const Handlers& handlers, const LoadOptions& options);
    ~Window();

    uint64_t id() const { return id_; }
    QWidget* widget() const { return widget_; }
    Unit* Find(const std::string& name) const;
    const std::vector<std::unique_ptr<Unit>>& units() const { return units_; }
    QPixmap Picture(const QString& resource) const;
    QString Expand(const QString& stored) const;  // fills ${SITE} and the like

    PropValue Get(Prop prop);
    void Set(Prop prop, const PropValue& value);

    void Dispatch(const std::map<std::string, std::string>& bindings, const std::string& event, const EventArgs& args);
    void RaiseOwnEvent(const std::string& event);  // the window's own events (Moved, Resized)
    std::vector<std::string> Unbound() const;

    // A framed window's stored size includes its frame: the inside is what the frame leaves
    // (the whole size until the system reports the frame).
    void FitToFrame();
    QSize OuterSize() const { return framed_ || !widget_ ? outer_ : widget_->size(); }

    void BuildMenus(const QJsonArray& menus);
    QMenu* Menu(const std::string& name) const;
    QAction* MenuItem(const std::string& name) const;

    bool startWindow = false;
    bool destroying = false;
    bool draggable = true;
    uint64_t blocks = 0;  // a modal window: the window it was opened over (0: none)

private:
    // Counts the window's handlers on the stack; the window is deleted only at 0.
    class DispatchScope {
    public:
        explicit DispatchScope(Window* window);
        ~DispatchScope();
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;

    private:
        Window* window_;
    };
    static void DeleteLater(Window* window);

    int dispatchDepth_ = 0;
    uint64_t id_;
    QPointer<QWidget> widget_;
    Handlers handlers_;
    LoadOptions options_;
    RemoteHosts hosts_;
    std::map<std::string, std::string> windowEvents_;
    bool framed_ = false;
    QSize outer_;
    std::vector<std::unique_ptr<Unit>> units_;
    std::map<std::string, Unit*> byName_;
    std::map<std::string, QMenu*> menus_;
    std::map<std::string, QAction*> menuItems_;
    std::vector<std::unique_ptr<QMenu>> ownedMenus_;
    std::map<std::string, std::string> menuHandlers_;

    friend uint64_t LoadWindow(const std::string&, const Handlers&, const LoadOptions&);
    friend void DestroyWindow(uint64_t);
};

// The registry of live windows (UI thread only).
Window* FindWindowById(uint64_t id);
Unit* FindUnit(const UnitRef& ref);

}  // namespace orbiq::platform
