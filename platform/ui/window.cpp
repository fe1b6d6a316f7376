#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QMouseEvent>
#include <QPainterPath>
#include <QScreen>
#include <QShortcut>
#include <QThread>
#include <QWindow>

#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>

#include "platform/ui/program.h"
#include "platform/ui/skin.h"
#include "platform/ui/units.h"

namespace orbiq::platform {
namespace {

std::map<uint64_t, Window*>& Registry() {
    static std::map<uint64_t, Window*> registry;
    return registry;
}
std::atomic<uint64_t> gNextId{1};
bool gStartWindowClosed = false;

// The top-level widget of a window: frameless dragging, Esc, close.
class WindowWidget : public QWidget {
public:
    WindowWidget(Window* owner, Qt::WindowFlags flags) : QWidget(nullptr, flags), owner_(owner) {}
    Window* owner_;

    // Drags by the surface: presses that no interactive unit took arrive here. The window
    // system moves the window itself where it can (Wayland places no window a client moves,
    // and a window manager keeps its own rules); moving it by hand is left for the rest.
    void mousePressEvent(QMouseEvent* e) override {
        if (owner_ && owner_->draggable && e->button() == Qt::LeftButton) {
            if (windowHandle() && windowHandle()->startSystemMove()) {
                e->accept();
                return;
            }
            dragging_ = true;
            offset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
        }
        QWidget::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (dragging_ && (e->buttons() & Qt::LeftButton)) move(e->globalPosition().toPoint() - offset_);
        QWidget::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        dragging_ = false;
        QWidget::mouseReleaseEvent(e);
    }
    // The window's Moved and Resized events; a hidden window reports them when shown.
    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        if (owner_) owner_->RaiseOwnEvent("Moved");
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        if (owner_) owner_->RaiseOwnEvent("Resized");
    }
    bool event(QEvent* e) override {
        const bool done = QWidget::event(e);
        // The frame is known once the system has shown the window; it may come with a move.
        if (owner_ && (e->type() == QEvent::Show || e->type() == QEvent::Move || e->type() == QEvent::Resize))
            owner_->FitToFrame();
        return done;
    }
    // A modal window and the window it blocks go down and come back together, so that
    // neither is left on screen without the other.
    void changeEvent(QEvent* e) override {
        QWidget::changeEvent(e);
        if (e->type() == QEvent::WindowStateChange && owner_ && !owner_->destroying) KeepWithBlockedWindow(owner_);
    }
    void closeEvent(QCloseEvent* e) override {
        if (owner_ && !owner_->destroying) {
            e->ignore();
            uint64_t id = owner_->id();
            QMetaObject::invokeMethod(this, [id] { DestroyWindow(id); }, Qt::QueuedConnection);
            return;
        }
        QWidget::closeEvent(e);
    }

private:
    bool dragging_ = false;
    QPoint offset_;
};

// Popup menus drawn in the colours MainWindow's menu style unit stores (0x3A3A3A face,
// 0xD16500 highlight, 0xE1E1E1 text, 0x8D8D8D lines), in its 12-pixel font.
const char* const kMenuStyle =
    "QMenu { background: #3a3a3a; color: #e1e1e1; border: 1px solid #8d8d8d; padding: 2px;"
    " font-family: 'SimSun', 'WenQuanYi Micro Hei'; font-size: 12px; }"
    "QMenu::item { padding: 4px 22px 4px 18px; }"
    "QMenu::item:selected { background: #0065d1; color: white; }"
    "QMenu::separator { height: 1px; background: #8d8d8d; margin: 3px 6px; }";

QJsonObject ReadForm(const std::string& formName) {
    QFile file(QString(":/forms/%1.json").arg(QString::fromStdString(formName)));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

class QtUnitBackend : public UnitBackend {
public:
    PropValue GetProperty(const UnitRef& ref, Prop prop) override {
        if (IsUiThread()) return GetHere(ref, prop);
        PropValue result;
        if (auto* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [&] { result = GetHere(ref, prop); }, Qt::BlockingQueuedConnection);
        return result;
    }
    // Writes from other threads are queued to the UI thread; a window closed by then is skipped.
    void SetProperty(const UnitRef& ref, Prop prop, PropValue value) override {
        if (IsUiThread()) { SetHere(ref, prop, value); return; }
        if (auto* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [ref, prop, value] { SetHere(ref, prop, value); }, Qt::QueuedConnection);
    }

private:
    static PropValue GetHere(const UnitRef& ref, Prop prop) {
        Window* w = FindWindowById(ref.window);
        if (!w) return {};
        if (ref.unit.empty()) return w->Get(prop);
        Unit* u = w->Find(ref.unit);
        return u ? u->Get(prop) : PropValue{};
    }
    static void SetHere(const UnitRef& ref, Prop prop, const PropValue& value) {
        Window* w = FindWindowById(ref.window);
        if (!w) return;
        if (ref.unit.empty()) { w->Set(prop, value); return; }
        if (Unit* u = w->Find(ref.unit)) u->Set(prop, value);
    }
};


// The X server's connection when the windows go through one (the offscreen platform
// answers the X11 interface too, without a connection).
xcb_connection_t* XConnection() {
    if (!qGuiApp || QGuiApplication::platformName() != "xcb") return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Where the window system has a top-level window, frame included: a window manager may have
// refused part of a move, or moved the window itself, without Qt hearing of it.
QPoint ScreenPosition(QWidget* w) {
    xcb_connection_t* c = XConnection();
    QWindow* handle = w->windowHandle();
    if (!c || !handle || !w->isVisible()) return w->pos();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_translate_coordinates_reply_t* reply =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(handle->winId()), root, 0, 0), nullptr);
    if (!reply) return w->pos();
    const qreal scale = handle->devicePixelRatio() > 0 ? handle->devicePixelRatio() : 1.0;
    const QPoint inside(qRound(reply->dst_x / scale), qRound(reply->dst_y / scale));
    std::free(reply);
    const QMargins m = handle->frameMargins();
    return inside - QPoint(m.left(), m.top());
}

// Moves a top-level window. Qt skips a move to where it believes the window stands, which
// may be where the window manager refused to put it: Qt first learns where it really is.
void MoveWindow(QWidget* w, const QPoint& to) {
    const QPoint real = ScreenPosition(w);
    if (to == w->pos() && real != to) w->move(real);
    w->move(to);
}

bool AnyWindowOnTop() {
    for (auto& [id, window] : Registry()) {
        QWidget* w = window->widget();
        if (w && w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint)) return true;
    }
    return false;
}

// The window a modal window opens over: the active one, else the shown start window.
Window* WindowToBlock() {
    QWidget* active = QApplication::activeWindow();
    Window* start = nullptr;
    for (auto& [id, window] : Registry()) {
        QWidget* w = window->widget();
        if (!w || !w->isVisible() || window->destroying) continue;
        if (w == active) return window;
        if (window->startWindow) start = window;
    }
    return start;
}

}  // namespace

void StackLikeOwnWindows(QWidget* w, bool modal, Window* self) {
    if (AnyWindowOnTop()) w->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (!modal) return;
    Window* blocked = WindowToBlock();
    if (!blocked || blocked == self) return;
    // Tied to it for the window manager: kept above it, minimised and restored with it.
    w->winId();
    QWindow* handle = w->windowHandle();
    QWindow* over = blocked->widget()->windowHandle();
    if (!handle || !over) return;
    handle->setTransientParent(over);
    if (self) self->blocks = blocked->id();
}

// Qt names a transient parent to X only for dialogs, and clears it when it shows any other
// window; ours stay normal windows (each with its taskbar button), so the name goes in after.
static void NameTransientParent(QWidget* w) {
    xcb_connection_t* c = XConnection();
    QWindow* handle = w->windowHandle();
    QWindow* over = handle ? handle->transientParent() : nullptr;
    if (!c || !over) return;
    const auto overId = static_cast<xcb_window_t>(over->winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(handle->winId()), XCB_ATOM_WM_TRANSIENT_FOR,
                        XCB_ATOM_WINDOW, 32, 1, &overId);
    xcb_flush(c);
}

void KeepWithBlockedWindow(Window* window) {
    QWidget* w = window->widget();
    if (w->isMinimized()) {
        Window* blocked = FindWindowById(window->blocks);
        if (blocked && blocked->widget() && blocked->widget()->isVisible() && !blocked->widget()->isMinimized())
            blocked->widget()->showMinimized();
        return;
    }
    for (auto& [id, other] : Registry()) {
        QWidget* m = other->widget();
        if (other->blocks != window->id() || other->destroying || !m || !m->isMinimized()) continue;
        m->showNormal();
        m->raise();
        m->activateWindow();
    }
}

void InstallUnitBackend() {
    static QtUnitBackend backend;
    SetUnitBackend(&backend);
}

Window* FindWindowById(uint64_t id) {
    auto it = Registry().find(id);
    return it == Registry().end() ? nullptr : it->second;
}

Unit* FindUnit(const UnitRef& ref) {
    Window* w = FindWindowById(ref.window);
    return w ? w->Find(ref.unit) : nullptr;
}

Handlers& Handlers::On(const std::string& name, std::function<void()> handler) {
    table_[name] = [h = std::move(handler)](const EventArgs&) { h(); };
    return *this;
}
Handlers& Handlers::OnArgs(const std::string& name, Handler handler) {
    table_[name] = std::move(handler);
    return *this;
}
const Handler* Handlers::Find(const std::string& name) const {
    auto it = table_.find(name);
    return it == table_.end() ? nullptr : &it->second;
}

Window::Window(uint64_t id, const QJsonObject& form, const Handlers& handlers, const LoadOptions& options)
    : id_(id), handlers_(handlers), options_(options), hosts_(options.hosts ? *options.hosts : DefaultHosts()) {
    QJsonObject props = form.value("window").toObject();
    Qt::WindowFlags flags = Qt::Window;
    QString frame = props.value("frame").toString("none");
    if (frame == "none") flags |= Qt::FramelessWindowHint;
    else flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    auto* w = new WindowWidget(this, flags);
    widget_ = w;
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->setWindowTitle(Expand(props.value("caption").toString()));
    framed_ = frame != "none";
    outer_ = QSize(props.value("width").toInt(), props.value("height").toInt());
    w->setFixedSize(outer_);
    draggable = props.value("draggable").toBool(frame == "none");
    if (props.contains("background")) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, ColourFromRef(props.value("background").toString().toUInt(nullptr, 0)));
        w->setPalette(pal);
        w->setAutoFillBackground(true);
    }
    const QJsonObject events = props.value("events").toObject();
    for (auto it = events.begin(); it != events.end(); ++it)
        windowEvents_[it.key().toStdString()] = it.value().toString().toStdString();

    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), w);
    esc->setContext(Qt::WindowShortcut);
    QObject::connect(esc, &QShortcut::activated, w, [id] { DestroyWindow(id); });

    const QJsonArray units = form.value("units").toArray();
    for (const QJsonValue& v : units) {
        auto unit = CreateUnit(this, v.toObject());
        byName_[unit->name()] = unit.get();
        units_.push_back(std::move(unit));
    }
    // Parents first: a unit's container is built before the unit.
    std::vector<bool> built(units_.size(), false);
    std::function<void(size_t)> build = [&](size_t i) {
        if (built[i]) return;
        built[i] = true;
        QString parentName = units_[i]->description().value("parent").toString();
        QWidget* parent = w;
        if (!parentName.isEmpty()) {
            for (size_t k = 0; k < units_.size(); ++k)
                if (units_[k]->name() == parentName.toStdString()) {
                    build(k);
                    if (units_[k]->Widget()) parent = units_[k]->Widget();
                }
        }
        units_[i]->Build(parent);
    };
    for (size_t i = 0; i < units_.size(); ++i) build(i);
    // Listed front to back: raising from the last to the first leaves the first in front.
    for (auto it = units_.rbegin(); it != units_.rend(); ++it)
        if (QWidget* uw = (*it)->Widget()) uw->raise();
    // Units stored with "tab" take the focus in their stored order.
    QWidget* previous = nullptr;
    for (const auto& unit : units_) {
        QWidget* uw = unit->Widget();
        if (!uw || !unit->description().value("tab").toBool()) continue;
        if (previous) QWidget::setTabOrder(previous, uw);
        previous = uw;
    }
    BuildMenus(form.value("menus").toArray());
}

Window::~Window() {
    for (auto& m : ownedMenus_) m.reset();
    units_.clear();
    if (widget_) delete widget_.data();
}

Unit* Window::Find(const std::string& name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

QPixmap Window::Picture(const QString& resource) const {
    return SkinPicture(resource);
}

QString Window::Expand(const QString& stored) const {
    QString s = stored;
    s.replace("${SITE}", Q(hosts_.SiteAddress()));
    s.replace("${SITEHOST}", Q(hosts_.site));
    return s;
}

PropValue Window::Get(Prop prop) {
    QWidget* w = widget_;
    if (!w) return {};
    switch (prop) {
    case Prop::Caption: return T(w->windowTitle());
    case Prop::Left: return static_cast<int32_t>(ScreenPosition(w).x());
    case Prop::Top: return static_cast<int32_t>(ScreenPosition(w).y());
    case Prop::Width: return static_cast<int32_t>(framed_ ? outer_.width() : w->width());
    case Prop::Height: return static_cast<int32_t>(framed_ ? outer_.height() : w->height());
    case Prop::Visible: return w->isVisible();
    case Prop::WindowState: return static_cast<int32_t>(w->isMinimized() ? 2 : w->isMaximized() ? 1 : 0);
    case Prop::AlwaysOnTop: return static_cast<bool>(w->windowFlags() & Qt::WindowStaysOnTopHint);
    case Prop::Region: {
        QVariant r = w->property("orbiqRegion");
        if (!r.isValid()) return {};
        QList<int> v = r.value<QList<int>>();
        return RoundRegion{v[0], v[1], v[2], v[3], v[4], v[5]};
    }
    default: return {};
    }
}

void Window::Set(Prop prop, const PropValue& value) {
    QWidget* w = widget_;
    if (!w) return;
    switch (prop) {
    case Prop::Caption:
        if (auto t = std::get_if<Text>(&value)) w->setWindowTitle(Q(*t));
        break;
    // The other coordinate as last asked for: the window system may not have placed it yet.
    case Prop::Left: MoveWindow(w, QPoint(IntOf(value), w->y())); break;
    case Prop::Top: MoveWindow(w, QPoint(w->x(), IntOf(value))); break;
    case Prop::Width:
        if (framed_) { outer_.setWidth(IntOf(value)); FitToFrame(); }
        else w->setFixedSize(IntOf(value), w->height());
        break;
    case Prop::Height:
        if (framed_) { outer_.setHeight(IntOf(value)); FitToFrame(); }
        else w->setFixedSize(w->width(), IntOf(value));
        break;
    case Prop::Visible: w->setVisible(IntOf(value) != 0); break;
    case Prop::WindowState: {
        int s = IntOf(value);
        if (s == 2) w->showMinimized();
        else if (s == 1) w->showMaximized();
        else w->showNormal();
        break;
    }
    case Prop::AlwaysOnTop: {
        bool on = IntOf(value) != 0;
        bool shown = w->isVisible();
        w->setWindowFlag(Qt::WindowStaysOnTopHint, on);
        if (shown) w->show();  // changing flags hides the window
        break;
    }
    case Prop::Region:
        if (auto r = std::get_if<RoundRegion>(&value)) {
            // CreateRoundRectRgn's corner sizes are ellipse diameters.
            QPainterPath path;
            path.addRoundedRect(QRectF(r->left, r->top, r->right - r->left, r->bottom - r->top),
                                r->cornerWidth / 2.0, r->cornerHeight / 2.0);
            SetWindowShape(w, path);
            w->setProperty("orbiqRegion", QVariant::fromValue(QList<int>{r->left, r->top, r->right, r->bottom,
                                                                          r->cornerWidth, r->cornerHeight}));
        }
        break;
    default: break;
    }
}

void Window::FitToFrame() {
    QWidget* w = widget_;
    if (!w || !framed_) return;
    const QMargins m = w->windowHandle() ? w->windowHandle()->frameMargins() : QMargins();
    const QSize inside(outer_.width() - m.left() - m.right(), outer_.height() - m.top() - m.bottom());
    if (inside.isValid() && w->size() != inside) w->setFixedSize(inside);
}

void Window::Dispatch(const std::map<std::string, std::string>& bindings, const std::string& event,
                      const EventArgs& args) {
    if (destroying) return;  // a destroyed window runs no more handlers
    auto it = bindings.find(event);
    if (it == bindings.end()) return;
    if (const Handler* h = handlers_.Find(it->second)) {
        Handler copy = *h;  // the handler may destroy this window
        DispatchScope scope(this);
        copy(args);
    }
}

void Window::RaiseOwnEvent(const std::string& event) { Dispatch(windowEvents_, event, {}); }

Window::DispatchScope::DispatchScope(Window* window) : window_(window) { ++window_->dispatchDepth_; }

// The outermost handler of a destroyed window has returned: the window goes once the event
// that carried it has been delivered.
Window::DispatchScope::~DispatchScope() {
    if (--window_->dispatchDepth_ == 0 && window_->destroying) DeleteLater(window_);
}

void Window::DeleteLater(Window* window) {
    QObject* anchor = QCoreApplication::instance();
    QMetaObject::invokeMethod(anchor, [window] { delete window; }, Qt::QueuedConnection);
}

std::vector<std::string> Window::Unbound() const {
    std::vector<std::string> missing;
    auto check = [&](const std::map<std::string, std::string>& bindings) {
        for (auto& [event, handler] : bindings)
            if (!handlers_.Find(handler)) missing.push_back(handler);
    };
    check(windowEvents_);
    for (auto& u : units_) check(u->events());
    for (auto& [item, handler] : menuHandlers_)
        if (!handlers_.Find(handler)) missing.push_back(handler);
    return missing;
}

void Window::BuildMenus(const QJsonArray& menus) {
    // Levels: 0 starts a popup menu, 1 an entry of it, 2 an entry of the last level-1 submenu.
    QMenu* levelMenu[3] = {nullptr, nullptr, nullptr};
    for (const QJsonValue& v : menus) {
        QJsonObject m = v.toObject();
        int level = m.value("level").toInt();
        QString caption = Expand(m.value("caption").toString());
        std::string name = m.value("name").toString().toStdString();
        std::string handler = m.value("handler").toString().toStdString();
        if (level == 0) {
            auto menu = std::make_unique<QMenu>(caption);
            menu->setObjectName(QString::fromStdString(name));
            menu->setStyleSheet(kMenuStyle);
            levelMenu[0] = menu.get();
            levelMenu[1] = levelMenu[2] = nullptr;
            menus_[name] = menu.get();
            ownedMenus_.push_back(std::move(menu));
            continue;
        }
        QMenu* parent = levelMenu[level - 1];
        if (!parent) continue;
        if (caption == "-") { parent->addSeparator(); continue; }
        if (m.value("submenu").toBool()) {
            QMenu* sub = parent->addMenu(caption);
            sub->setObjectName(QString::fromStdString(name));
            if (level < 2) levelMenu[level] = sub;
            if (!name.empty()) menus_[name] = sub;
            continue;
        }
        QAction* action = parent->addAction(caption);
        action->setObjectName(QString::fromStdString(name));
        if (!name.empty()) menuItems_[name] = action;
        if (!handler.empty()) {
            menuHandlers_[name] = handler;
            uint64_t id = id_;
            QObject::connect(action, &QAction::triggered, action, [id, name] {
                if (Window* w = FindWindowById(id)) {
                    auto it = w->menuHandlers_.find(name);
                    if (it == w->menuHandlers_.end()) return;
                    if (const Handler* h = w->handlers_.Find(it->second)) {
                        Handler copy = *h;
                        DispatchScope scope(w);
                        copy({});
                    }
                }
            });
        }
    }
}

QMenu* Window::Menu(const std::string& name) const {
    auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}
QAction* Window::MenuItem(const std::string& name) const {
    auto it = menuItems_.find(name);
    return it == menuItems_.end() ? nullptr : it->second;
}

uint64_t LoadWindow(const std::string& formName, const Handlers& handlers, const LoadOptions& options) {
    QJsonObject form = ReadForm(formName);
    if (form.isEmpty()) return 0;
    uint64_t id = gNextId++;
    auto* window = new Window(id, form, handlers, options);
    window->startWindow = options.startWindow;
    Registry()[id] = window;
    if (options.idOut) *options.idOut = id;
    if (Window* parent = FindWindowById(options.parent)) {
        window->widget()->setParent(parent->widget(), window->widget()->windowFlags());
    }
    window->Dispatch(window->windowEvents_, "Created", {});
    window = FindWindowById(id);
    if (!window) return id;  // destroyed by its own Created handler
    QWidget* w = window->widget();
    // Every window opens centred on the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->geometry();
        const QSize size = window->OuterSize();
        w->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    if (options.modal) w->setWindowModality(Qt::ApplicationModal);
    StackLikeOwnWindows(w, options.modal, window);
    w->show();
    NameTransientParent(w);
    if (options.modal) {
        // Returns only once the window has been destroyed (an event loop's exec would also
        // return when the application has been told to quit).
        while (FindWindowById(id)) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return id;
}

void DestroyWindow(uint64_t id) {
    Window* window = FindWindowById(id);
    if (!window || window->destroying) return;
    window->destroying = true;
    Registry().erase(id);
    bool start = window->startWindow;
    if (QWidget* w = window->widget()) w->hide();
    // Never deleted under one of its own handlers, however deep: a handler waiting in a nested
    // event loop (a request, a message box) may close its window and still return into it.
    // With no handler of the window running, it goes once the current event has returned.
    if (window->dispatchDepth_ == 0) Window::DeleteLater(window);
    // The start window's end ends the message loop; before the loop runs there is none to end.
    if (start) {
        if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
        else gStartWindowClosed = true;
    }
}

bool WindowExists(uint64_t id) { return FindWindowById(id) != nullptr; }

bool StartWindowClosed() { return gStartWindowClosed; }

std::vector<std::string> UnboundHandlers(uint64_t id) {
    Window* w = FindWindowById(id);
    return w ? w->Unbound() : std::vector<std::string>{};
}

void RaiseEvent(const UnitRef& ref, const std::string& event, const EventArgs& args) {
    if (Unit* u = FindUnit(ref)) u->Raise(event, args);
}

QWidget* WidgetOf(const UnitRef& ref) {
    Window* w = FindWindowById(ref.window);
    if (!w) return nullptr;
    if (ref.unit.empty()) return w->widget();
    Unit* u = w->Find(ref.unit);
    return u ? u->Widget() : nullptr;
}

void PopupMenu(uint64_t id, const std::string& menuName) {
    Window* w = FindWindowById(id);
    if (!w) return;
    if (QMenu* m = w->Menu(menuName)) m->popup(QCursor::pos());
}

std::vector<std::string> MenuEntries(uint64_t id, const std::string& menuName) {
    std::vector<std::string> out;
    Window* w = FindWindowById(id);
    QMenu* m = w ? w->Menu(menuName) : nullptr;
    if (!m) return out;
    std::function<void(QMenu*, int)> walk = [&](QMenu* menu, int depth) {
        for (QAction* a : menu->actions()) {
            std::string caption = a->isSeparator() ? "-" : a->text().toStdString();
            out.push_back(std::string(depth * 2, ' ') + caption);
            if (a->menu()) walk(a->menu(), depth + 1);
        }
    };
    walk(m, 0);
    return out;
}

bool TriggerMenuItem(uint64_t id, const std::string& itemName) {
    Window* w = FindWindowById(id);
    QAction* a = w ? w->MenuItem(itemName) : nullptr;
    if (!a) return false;
    a->trigger();
    return true;
}

}  // namespace orbiq::platform
