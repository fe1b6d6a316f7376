// Button units: the graphic button, the super button, the push button and the radio button.
#include "platform/ui/skin.h"
#include "platform/ui/units_internal.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

namespace orbiq::platform {
namespace {

// ---- graphic button ----
class GraphicButtonWidget : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;
    QPixmap normal, hover, pressed;
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPixmap& pm = isDown() && !pressed.isNull() ? pressed
                            : underMouse() && !hover.isNull() ? hover : normal;
        p.drawPixmap(0, 0, pm);
    }
    void enterEvent(QEnterEvent* e) override { update(); QAbstractButton::enterEvent(e); }
    void leaveEvent(QEvent* e) override { update(); QAbstractButton::leaveEvent(e); }
};

class GraphicButtonUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new GraphicButtonWidget(parent);
        w_->setObjectName(QString::fromStdString(name_));
        QJsonArray pics = description_.value("pictures").toArray();
        if (pics.size() > 0) w_->normal = window_->Picture(pics[0].toString());
        if (pics.size() > 1) w_->hover = window_->Picture(pics[1].toString());
        if (pics.size() > 2) w_->pressed = window_->Picture(pics[2].toString());
        w_->setFocusPolicy(Qt::NoFocus);
        QObject::connect(w_, &QAbstractButton::clicked, w_, [this] { Raise("Click"); });
        ApplyCommon();
    }

private:
    GraphicButtonWidget* w_ = nullptr;
};

// ---- super button: a face picture, an optional caption, a hint ----
class SuperButtonWidget : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;
    QPixmap face;
    QColor captionColour = Qt::white;
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (underMouse()) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, isDown() ? 60 : 32));
            p.drawRoundedRect(rect().adjusted(0, 0, -1, -1), 4, 4);
        }
        if (!face.isNull()) {
            const QSize size = LogicalSize(face);
            p.drawPixmap((width() - size.width()) / 2, (height() - size.height()) / 2 + (isDown() ? 1 : 0), face);
        }
        if (!text().isEmpty()) {
            p.setPen(isEnabled() ? captionColour : QColor(Qt::gray));
            p.drawText(rect(), Qt::AlignCenter, text());
        }
    }
    void enterEvent(QEnterEvent* e) override { update(); QAbstractButton::enterEvent(e); }
    void leaveEvent(QEvent* e) override { update(); QAbstractButton::leaveEvent(e); }
};

class SuperButtonUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new SuperButtonWidget(parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->face = window_->Picture(description_.value("picture").toString());
        if (description_.contains("colour"))
            w_->captionColour = ColourFromRef(static_cast<int32_t>(ColourValue(description_.value("colour"))));
        w_->setFont(FontOf(description_));
        w_->setText(window_->Expand(description_.value("caption").toString()));
        w_->setFocusPolicy(description_.value("tab").toBool() ? Qt::TabFocus : Qt::NoFocus);
        QObject::connect(w_, &QAbstractButton::clicked, w_, [this] { Raise("Click"); });
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Caption) return T(w_->text());
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Caption) { w_->setText(Q(TextOf(v))); w_->update(); return true; }
        return Unit::Set(p, v);
    }

private:
    SuperButtonWidget* w_ = nullptr;
};

// ---- push button ----
class ButtonUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new QPushButton(window_->Expand(description_.value("caption").toString()), parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->setFont(FontOf(description_));
        QObject::connect(w_, &QPushButton::clicked, w_, [this] { Raise("Click"); });
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Caption) return T(w_->text());
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Caption) { w_->setText(Q(TextOf(v))); return true; }
        return Unit::Set(p, v);
    }

private:
    QPushButton* w_ = nullptr;
};

// ---- radio button ----
class RadioUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new QRadioButton(window_->Expand(description_.value("caption").toString()), parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->setFont(FontOf(description_));
        QPalette pal = w_->palette();
        pal.setColor(QPalette::WindowText, ColourFromRef(static_cast<int32_t>(ColourValue(description_.value("colour")))));
        w_->setPalette(pal);
        QObject::connect(w_, &QRadioButton::clicked, w_, [this] { Raise("Click"); });
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Caption) return T(w_->text());
        if (p == Prop::Value) return w_->isChecked();
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Caption) { w_->setText(Q(TextOf(v))); return true; }
        if (p == Prop::Value) { w_->setChecked(IntOf(v) != 0); return true; }
        return Unit::Set(p, v);
    }

private:
    QRadioButton* w_ = nullptr;
};

}  // namespace

std::unique_ptr<Unit> CreateGraphicButtonUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<GraphicButtonUnit>(window, d);
}
std::unique_ptr<Unit> CreateSuperButtonUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<SuperButtonUnit>(window, d);
}
std::unique_ptr<Unit> CreateButtonUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<ButtonUnit>(window, d);
}
std::unique_ptr<Unit> CreateRadioUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<RadioUnit>(window, d);
}

}  // namespace orbiq::platform
