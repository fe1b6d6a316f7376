// Units that show a position in a range: the slider and the progress bar.
#include "platform/ui/skin.h"
#include "platform/ui/units_internal.h"

#include <QJsonArray>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QWheelEvent>

#include <algorithm>
#include <functional>
#include <utility>

namespace orbiq::platform {
namespace {

// ---- slider: track, filled track and thumb pictures ----
class SliderWidget : public QWidget {
public:
    SliderWidget(QWidget* parent, std::function<void(int)> changed) : QWidget(parent), changed_(std::move(changed)) {}
    QPixmap track, filled, thumb;
    int minimum = 0, maximum = 100, position = 0;
    void SetPosition(int v, bool notify) {
        v = std::clamp(v, minimum, maximum);
        if (v == position) return;
        position = v;
        update();
        if (notify) changed_(v);
    }
    int ThumbX() const {
        int span = width() - LogicalSize(thumb).width();
        return maximum > minimum ? (position - minimum) * span / (maximum - minimum) : 0;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QSize trackSize = LogicalSize(track), filledSize = LogicalSize(filled), thumbSize = LogicalSize(thumb);
        int ty = (height() - trackSize.height()) / 2;
        int tx = (width() - trackSize.width()) / 2;
        p.drawPixmap(tx, ty, track);
        int fillTo = ThumbX() + thumbSize.width() / 2;
        const int shown = std::max(0, std::min(fillTo - tx, filledSize.width()));
        const qreal ratio = filled.devicePixelRatio();  // the source rectangle counts the picture's own pixels
        p.drawPixmap(QRectF(tx, ty, shown, filledSize.height()), filled,
                     QRectF(0, 0, shown * ratio, filledSize.height() * ratio));
        p.drawPixmap(ThumbX(), (height() - thumbSize.height()) / 2, thumb);
    }
    void mousePressEvent(QMouseEvent* e) override { Track(e); }
    void mouseMoveEvent(QMouseEvent* e) override { if (e->buttons() & Qt::LeftButton) Track(e); }
    void wheelEvent(QWheelEvent* e) override { SetPosition(position + (e->angleDelta().y() > 0 ? 5 : -5), true); }
    // The keys of a horizontal track bar: a line is 1, a page a fifth of the range.
    void keyPressEvent(QKeyEvent* e) override {
        const int page = std::max(1, (maximum - minimum) / 5);
        switch (e->key()) {
        case Qt::Key_Left: case Qt::Key_Up: SetPosition(position - 1, true); break;
        case Qt::Key_Right: case Qt::Key_Down: SetPosition(position + 1, true); break;
        case Qt::Key_PageUp: SetPosition(position - page, true); break;
        case Qt::Key_PageDown: SetPosition(position + page, true); break;
        case Qt::Key_Home: SetPosition(minimum, true); break;
        case Qt::Key_End: SetPosition(maximum, true); break;
        default: QWidget::keyPressEvent(e); return;
        }
    }

private:
    void Track(QMouseEvent* e) {
        const int thumbWidth = LogicalSize(thumb).width();
        int span = std::max(1, width() - thumbWidth);
        int x = static_cast<int>(e->position().x()) - thumbWidth / 2;
        SetPosition(minimum + (x * (maximum - minimum) + span / 2) / span, true);
    }
    std::function<void(int)> changed_;
};

class SliderUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new SliderWidget(parent, [this](int) { Raise("PositionChanged"); });
        w_->setObjectName(QString::fromStdString(name_));
        QJsonArray pics = description_.value("pictures").toArray();
        if (pics.size() > 2) {
            w_->track = window_->Picture(pics[0].toString());
            w_->filled = window_->Picture(pics[1].toString());
            w_->thumb = window_->Picture(pics[2].toString());
        }
        w_->minimum = description_.value("min").toInt(0);
        w_->maximum = description_.value("max").toInt(100);
        w_->position = description_.value("position").toInt(0);
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Position) return static_cast<int32_t>(w_->position);
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Position) { w_->SetPosition(IntOf(v), true); return true; }
        return Unit::Set(p, v);
    }

private:
    SliderWidget* w_ = nullptr;
};

// ---- progress bar ----
class ProgressUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new QProgressBar(parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->setRange(description_.value("min").toInt(0), description_.value("max").toInt(100));
        w_->setValue(description_.value("position").toInt(0));
        w_->setTextVisible(false);
        w_->setStyleSheet("QProgressBar { background: #202428; border: none; }"
                          "QProgressBar::chunk { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #4aa3ff, stop:1 #2f7de1); }");
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Position) return static_cast<int32_t>(w_->value());
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Position) { w_->setValue(std::clamp(IntOf(v), w_->minimum(), w_->maximum())); return true; }
        return Unit::Set(p, v);
    }

private:
    QProgressBar* w_ = nullptr;
};

}  // namespace

std::unique_ptr<Unit> CreateSliderUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<SliderUnit>(window, d);
}
std::unique_ptr<Unit> CreateProgressUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<ProgressUnit>(window, d);
}

}  // namespace orbiq::platform
