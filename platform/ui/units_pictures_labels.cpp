// Units that draw a picture or a text: the picture box and the labels.
#include "platform/ui/skin.h"
#include "platform/ui/units_internal.h"

#include <QEvent>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>

namespace orbiq::platform {
namespace {

ByteSet BytesOfResource(const QString& resource) {
    QFile file(":/pictures/" + resource);
    if (resource.isEmpty() || !file.open(QIODevice::ReadOnly)) return {};
    QByteArray b = file.readAll();
    return ByteSet(b.begin(), b.end());
}

// ---- picture box ----
class PictureWidget : public QWidget {
public:
    using QWidget::QWidget;
    QPixmap pixmap;
    QColor background;
    bool hasBackground = false;
    QString mode;  // "", "stretch", "center"
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (hasBackground) p.fillRect(rect(), background);
        if (pixmap.isNull()) return;
        if (mode == "stretch") p.drawPixmap(rect(), pixmap);
        else if (mode == "center") {
            const QSize size = LogicalSize(pixmap);
            p.drawPixmap((width() - size.width()) / 2, (height() - size.height()) / 2, pixmap);
        }
        else p.drawPixmap(0, 0, pixmap);
    }
};

class PictureBoxUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new PictureWidget(parent);
        w_->setObjectName(QString::fromStdString(name_));
        if (description_.contains("background")) {
            w_->background = ColourFromRef(static_cast<int32_t>(ColourValue(description_.value("background"))));
            w_->hasBackground = true;
            // It fills its whole area: what lies under it is never painted.
            w_->setAttribute(Qt::WA_OpaquePaintEvent, w_->background.alpha() == 255);
        }
        w_->mode = description_.value("draw").toString();
        // The stored picture's bytes are the 1x file's; the screen may show its dense copy.
        bytes_ = BytesOfResource(description_.value("picture").toString());
        w_->pixmap = SkinPicture(description_.value("picture").toString());
        // Presses fall through to the window, which drags.
        w_->setAttribute(Qt::WA_NoMousePropagation, false);
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Picture) return bytes_;
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Picture) {
            auto b = std::get_if<ByteSet>(&v);
            bytes_ = b ? *b : ByteSet{};
            w_->pixmap = QPixmap();
            if (!bytes_.empty()) w_->pixmap.loadFromData(bytes_.data(), static_cast<uint>(bytes_.size()));
            w_->update();
            return true;
        }
        return Unit::Set(p, v);
    }

private:
    PictureWidget* w_ = nullptr;
    ByteSet bytes_;
};

// Raises LeftButtonDown (x, y, key state 1) for left presses on a widget; the press goes on.
class PressFilter : public QObject {
public:
    PressFilter(Unit* unit, QObject* parent) : QObject(parent), unit_(unit) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() == Qt::LeftButton)
                unit_->Raise("LeftButtonDown", {static_cast<int32_t>(m->position().x()),
                                                static_cast<int32_t>(m->position().y()), 1});
        }
        return false;
    }
    Unit* unit_;
};

// ---- labels ----
class TextWidget : public QWidget {
public:
    using QWidget::QWidget;
    QString text;
    QColor colour = Qt::black;
    QColor background;
    QPixmap picture;  // tiled behind the text
    bool fill = false;
    bool wrap = false;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    // A label that fills its background covers its area: nothing under it is painted, and
    // its face is drawn once into a pixmap (until text, colour, font or size change), so a
    // label that moves (the notice ticker) only copies the part that comes into view.
    void SetFill(const QColor& c) {
        fill = true;
        background = c;
        setAttribute(Qt::WA_OpaquePaintEvent, c.alpha() == 255);
    }
    void Changed() {
        face_ = QPixmap();
        update();
    }
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        if (!testAttribute(Qt::WA_OpaquePaintEvent) || width() * qint64(height()) > kMaxFacePixels) {
            Draw(p);
            return;
        }
        const qreal ratio = devicePixelRatioF();
        if (face_.isNull() || face_.size() != size() * ratio) {
            face_ = QPixmap(size() * ratio);
            face_.setDevicePixelRatio(ratio);
            QPainter fp(&face_);
            Draw(fp);
        }
        const QRect r = e->rect();
        p.drawPixmap(r, face_, QRectF(r.topLeft() * ratio, r.size() * ratio));
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        face_ = QPixmap();
        QWidget::resizeEvent(e);
    }
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::FontChange) face_ = QPixmap();
        QWidget::changeEvent(e);
    }

private:
    static constexpr qint64 kMaxFacePixels = 4 << 20;  // past it (16 MiB), the label draws directly
    void Draw(QPainter& p) {
        if (fill) p.fillRect(rect(), background);
        if (!picture.isNull()) p.drawTiledPixmap(rect(), picture);
        p.setPen(colour);
        p.setFont(font());
        int flags = static_cast<int>(align) | (wrap ? Qt::TextWordWrap : 0);
        p.drawText(rect(), flags, text);
    }
    QPixmap face_;
};

class LabelUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new TextWidget(parent);
        w_->setObjectName(QString::fromStdString(name_));
        if (events_.count("LeftButtonDown")) w_->installEventFilter(new PressFilter(this, w_));
        else w_->setAttribute(Qt::WA_TransparentForMouseEvents);
        w_->picture = window_->Picture(description_.value("picture").toString());
        w_->setFont(FontOf(description_));
        w_->align = AlignOf(description_);
        w_->wrap = description_.value("wrap").toBool();
        w_->text = window_->Expand(description_.value("caption").toString());
        colourRef_ = static_cast<int32_t>(ColourValue(description_.value("colour")));  // black when not stored
        w_->colour = ColourFromRef(colourRef_);
        if (description_.contains("background"))
            w_->SetFill(ColourFromRef(static_cast<int32_t>(ColourValue(description_.value("background")))));
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Caption) return T(w_->text);
        if (p == Prop::TextColour) return colourRef_;
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Caption) { w_->text = Q(TextOf(v)); w_->Changed(); return true; }
        if (p == Prop::TextColour) { colourRef_ = IntOf(v); w_->colour = ColourFromRef(colourRef_); w_->Changed(); return true; }
        return Unit::Set(p, v);
    }

private:
    TextWidget* w_ = nullptr;
    int32_t colourRef_ = 0;
};

}  // namespace

std::unique_ptr<Unit> CreatePictureBoxUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<PictureBoxUnit>(window, d);
}
std::unique_ptr<Unit> CreateLabelUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<LabelUnit>(window, d);
}

}  // namespace orbiq::platform
