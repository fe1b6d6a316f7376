// Units with no widget in their window: the timer, the common dialog and the balloon tip.
#include "platform/ui/units_internal.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

#include "common/files.h"

namespace orbiq::platform {
namespace {

// ---- timer: ticks while Interval > 0 ----
class TimerUnit : public Unit {
public:
    using Unit::Unit;
    void Build(QWidget*) override {
        timer_ = std::make_unique<QTimer>();
        QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { Raise("Tick"); });
        SetInterval(description_.value("interval").toInt(0));
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Interval) return interval_;
        return {};
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Interval) { SetInterval(IntOf(v)); return true; }
        return false;
    }

private:
    void SetInterval(int32_t ms) {
        interval_ = ms;
        if (ms > 0 && !events_.empty()) timer_->start(ms);  // a timer without a handler need not wake anybody
        else timer_->stop();
    }
    std::unique_ptr<QTimer> timer_;
    int32_t interval_ = 0;
};

// ---- common dialog ----
std::function<std::string()> gDialogResponder;

class DialogUnit : public Unit {
public:
    using Unit::Unit;
    void Build(QWidget*) override {}
    PropValue Get(Prop p) override {
        if (p == Prop::FileName) return fileName_;
        return {};
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::FileName) { fileName_ = TextOf(v); return true; }
        return false;
    }
    void ShowOpen() {
        // The choice is a native path; a cancel leaves the empty text.
        const std::string chosen = gDialogResponder ? gDialogResponder()
            : QFile::encodeName(QFileDialog::getOpenFileName(window_->widget(), QString(), QString(), QString()))
                  .toStdString();
        fileName_ = TextOfNativePath(chosen);
    }

private:
    Text fileName_;
};

// ---- balloon tip: a small frameless tip window at a screen point ----
class BalloonTipUnit : public Unit {
public:
    using Unit::Unit;
    void Build(QWidget*) override {
        tip_ = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
        tip_->setObjectName(QString::fromStdString(name_));
        tip_->setStyleSheet("QLabel { background: #ffffe1; border: 1px solid #767676; border-radius: 3px; padding: 3px 6px; }" +
                            description_.value("style").toString());
        hide_ = new QTimer(tip_);
        hide_->setSingleShot(true);
        QObject::connect(hide_, &QTimer::timeout, tip_, [this] { tip_->hide(); });
    }
    ~BalloonTipUnit() override { delete tip_; }
    void Show(int32_t x, int32_t y, const Text& text) {
        tip_->setText(Q(text));
        tip_->adjustSize();
        tip_->move(x + 2, y + 16);
        tip_->show();
        tip_->raise();
        point_ = {x, y};
        hide_->start(4000);
    }
    Text Shown() const { return tip_->isVisible() ? T(tip_->text()) : Text(); }
    QPoint point() const { return point_; }

private:
    QLabel* tip_ = nullptr;
    QTimer* hide_ = nullptr;
    QPoint point_;
};

}  // namespace

std::unique_ptr<Unit> CreateTimerUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<TimerUnit>(window, d);
}
std::unique_ptr<Unit> CreateDialogUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<DialogUnit>(window, d);
}
std::unique_ptr<Unit> CreateBalloonTipUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<BalloonTipUnit>(window, d);
}

void ShowOpenFileDialog(const UnitRef& ref) { if (auto* d = As<DialogUnit>(ref)) d->ShowOpen(); }
void SetOpenFileDialogResponder(std::function<std::string()> responder) { gDialogResponder = std::move(responder); }

void ShowBalloonTip(const UnitRef& tip, int32_t x, int32_t y, const Text& text, int32_t) {
    WriteOnUi([tip, x, y, text] { if (auto* b = As<BalloonTipUnit>(tip)) b->Show(x, y, text); });
}
Text BalloonTipText(const UnitRef& tip) {
    return OnUi([&] { auto* b = As<BalloonTipUnit>(tip); return b ? b->Shown() : Text(); });
}
void BalloonTipPoint(const UnitRef& tip, int32_t* x, int32_t* y) {
    QPoint p = OnUi([&] { auto* b = As<BalloonTipUnit>(tip); return b ? b->point() : QPoint(); });
    *x = p.x();
    *y = p.y();
}

}  // namespace orbiq::platform
