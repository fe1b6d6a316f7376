// The unit every type builds on, the readings of stored values they share, the factory that
// maps stored type names onto unit types, and what any unit answers (focus, unit messages).
#include "platform/ui/units.h"

#include <QComboBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "platform/ui/media_unit.h"
#include "platform/ui/units_internal.h"

namespace orbiq::platform {

QString Q(const Text& text) { return QString::fromUtf8(text.ToUtf8()); }
Text T(const QString& text) { return Text::FromUtf8(text.toStdString()); }

QColor ColourFromRef(int32_t ref) {
    uint32_t v = static_cast<uint32_t>(ref);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

int32_t IntOf(const PropValue& v) {
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto d = std::get_if<double>(&v)) return static_cast<int32_t>(*d);
    if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    return 0;
}
Text TextOf(const PropValue& v) {
    if (auto t = std::get_if<Text>(&v)) return *t;
    if (auto p = std::get_if<int32_t>(&v)) return Text::Number(*p);
    if (auto b = std::get_if<bool>(&v)) return Text(*b ? "True" : "False");
    return Text();
}
uint32_t ColourValue(const QJsonValue& v) {
    if (v.isString()) return v.toString().toUInt(nullptr, 0);
    return static_cast<uint32_t>(v.toInteger());
}

// "宋体"-like faces through fontconfig fallbacks; pixel heights as stored.
QFont FontOf(const QJsonObject& d) {
    QFont font;
    QJsonObject f = d.value("font").toObject();
    QString family = f.value("family").toString();
    QStringList families;
    if (!family.isEmpty()) families << family;
    if (family == QString::fromUtf8("新宋体")) families << "NSimSun";
    families << "SimSun" << QString::fromUtf8("宋体") << "WenQuanYi Micro Hei" << "Noto Sans CJK SC";
    font.setFamilies(families);
    font.setPixelSize(f.value("size").toInt(12));
    if (f.value("bold").toBool()) font.setBold(true);
    return font;
}

Qt::Alignment AlignOf(const QJsonObject& d) {
    QString a = d.value("align").toString("left");
    Qt::Alignment h = a == "center" ? Qt::AlignHCenter : a == "right" ? Qt::AlignRight : Qt::AlignLeft;
    return h | Qt::AlignVCenter;
}

namespace {

// A unit with no widget and no behaviour of its own (timers aside: units_windowless.cpp).
class PlainUnit : public Unit {
public:
    using Unit::Unit;
    void Build(QWidget*) override {}
};

}  // namespace

Unit::Unit(Window* window, const QJsonObject& description)
    : window_(window), description_(description),
      name_(description.value("name").toString().toStdString()),
      type_(description.value("type").toString().toStdString()) {
    QJsonObject ev = description.value("events").toObject();
    for (auto it = ev.begin(); it != ev.end(); ++it) events_[it.key().toStdString()] = it.value().toString().toStdString();
}

Unit::~Unit() = default;

void Unit::Build(QWidget*) {}

void Unit::ApplyCommon() {
    QWidget* w = Widget();
    if (!w) return;
    QJsonArray r = description_.value("rect").toArray();
    if (r.size() == 4) w->setGeometry(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
    if (description_.value("hand").toBool()) w->setCursor(Qt::PointingHandCursor);
    QString hint = window_->Expand(description_.value("hint").toString());
    if (!hint.isEmpty()) w->setToolTip(hint);
    const bool tab = description_.value("tab").toBool(false);
    if (!tab && w->focusPolicy() != Qt::NoFocus &&
        !qobject_cast<QTreeWidget*>(w) && !qobject_cast<QLineEdit*>(w) && !qobject_cast<QPlainTextEdit*>(w))
        w->setFocusPolicy(Qt::NoFocus);
    if (tab && w->focusPolicy() == Qt::NoFocus) w->setFocusPolicy(Qt::TabFocus);  // the window orders them
    w->setVisible(description_.value("visible").toBool(true));
    if (description_.value("disabled").toBool()) w->setEnabled(false);
}

PropValue Unit::Get(Prop prop) {
    QWidget* w = Widget();
    if (!w) return {};
    switch (prop) {
    case Prop::Left: return static_cast<int32_t>(w->x());
    case Prop::Top: return static_cast<int32_t>(w->y());
    case Prop::Width: return static_cast<int32_t>(w->width());
    case Prop::Height: return static_cast<int32_t>(w->height());
    case Prop::Visible: return !w->isHidden();
    case Prop::Disabled: return !w->isEnabled();
    case Prop::Hint: return T(w->toolTip());
    default: return {};
    }
}

bool Unit::Set(Prop prop, const PropValue& value) {
    QWidget* w = Widget();
    if (!w) return false;
    switch (prop) {
    case Prop::Left: w->move(IntOf(value), w->y()); return true;
    case Prop::Top: w->move(w->x(), IntOf(value)); return true;
    case Prop::Width: w->resize(IntOf(value), w->height()); return true;
    case Prop::Height: w->resize(w->width(), IntOf(value)); return true;
    case Prop::Visible: w->setVisible(IntOf(value) != 0); return true;
    case Prop::Disabled: w->setEnabled(IntOf(value) == 0); return true;
    case Prop::Hint: w->setToolTip(Q(TextOf(value))); return true;
    default: return false;
    }
}

void Unit::Raise(const std::string& event, const EventArgs& args) {
    window_->Dispatch(events_, event, args);
}

std::unique_ptr<Unit> CreateUnit(Window* window, const QJsonObject& d) {
    const QString type = d.value("type").toString();
    if (type == "picture box") return CreatePictureBoxUnit(window, d);
    if (type == "transparent label" || type == "label") return CreateLabelUnit(window, d);
    if (type == "graphic button") return CreateGraphicButtonUnit(window, d);
    if (type == "super button") return CreateSuperButtonUnit(window, d);
    if (type == "button") return CreateButtonUnit(window, d);
    if (type == "radio button") return CreateRadioUnit(window, d);
    if (type == "edit box") return CreateEditUnit(window, d);
    if (type == "tree list") return CreateTreeUnit(window, d);
    if (type == "slider") return CreateSliderUnit(window, d);
    if (type == "progress bar") return CreateProgressUnit(window, d);
    if (type == "group box") return CreateGroupUnit(window, d);
    if (type == "combo box") return CreateComboUnit(window, d);
    if (type == "timer") return CreateTimerUnit(window, d);
    if (type == "common dialog") return CreateDialogUnit(window, d);
    if (type == "media player") return CreateMediaPlayerUnit(window, d);
    if (type == "html view") return CreateHtmlViewUnit(window, d);
    if (type == "hyperlink box") return CreateHyperlinkUnit(window, d);
    if (type == "report list view") return CreateReportListUnit(window, d);
    if (type == "balloon tip") return CreateBalloonTipUnit(window, d);
    if (type == "tab control") return CreateTabControlUnit(window, d);
    // external database, system volume, super menu...: no behaviour here
    return std::make_unique<PlainUnit>(window, d);
}

void SetUnitFocus(const UnitRef& unit) {
    WriteOnUi([unit] {
        if (QWidget* w = WidgetOf(unit)) w->setFocus(Qt::OtherFocusReason);
    });
}

bool UnitHasFocus(const UnitRef& unit) {
    return OnUi([&] {
        QWidget* w = WidgetOf(unit);
        return w && w->window()->focusWidget() == w;
    });
}

int32_t SendUnitMessage(const UnitRef& unit, uint32_t message, int32_t wParam, int32_t) {
    return OnUi([&]() -> int32_t {
        QWidget* w = WidgetOf(unit);
        if (!w) return 0;
        if (message == kWmPaste) {
            if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->paste();
            return 0;
        }
        if (message == kCbShowDropDown) {
            auto* combo = qobject_cast<QComboBox*>(w);
            if (!combo) return 0;
            if (wParam) combo->showPopup();
            else combo->hidePopup();
            return 1;
        }
        return 0;
    });
}

}  // namespace orbiq::platform
