// Units that frame others: the group box and the tab control.
#include "platform/ui/units_internal.h"

#include <QFrame>
#include <QGroupBox>

namespace orbiq::platform {
namespace {

// ---- group box ----
class GroupUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new QGroupBox(window_->Expand(description_.value("caption").toString()), parent);
        w_->setObjectName(QString::fromStdString(name_));
        ApplyCommon();
    }

private:
    QGroupBox* w_ = nullptr;
};

// ---- tab control: here only the frame that holds another unit ----
class TabControlUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new QFrame(parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->setFrameShape(QFrame::Box);
        w_->setStyleSheet("QFrame { border: 1px solid #8fb0d8; background: white; }");
        ApplyCommon();
    }

private:
    QFrame* w_ = nullptr;
};

}  // namespace

std::unique_ptr<Unit> CreateGroupUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<GroupUnit>(window, d);
}
std::unique_ptr<Unit> CreateTabControlUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<TabControlUnit>(window, d);
}

}  // namespace orbiq::platform
