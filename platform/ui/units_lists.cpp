// List units: the tree list, the combo box and the report list view, with the operations on
// their items.
#include "platform/ui/units_internal.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QJsonArray>
#include <QMouseEvent>
#include <QTableWidget>
#include <QTreeWidget>

#include <algorithm>
#include <functional>

namespace orbiq::platform {
namespace {

// ---- tree list ----
class TreeUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new QTreeWidget(parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->setHeaderHidden(true);
        w_->setColumnCount(1);
        w_->setFont(FontOf(description_));
        w_->setIndentation(14);
        w_->setFrameShape(QFrame::NoFrame);
        w_->setFocusPolicy(Qt::StrongFocus);
        icon_ = QIcon(window_->Picture(description_.value("icon").toString()));
        QColor fg = ColourFromRef(static_cast<int32_t>(ColourValue(description_.value("colour"))));
        QColor bg = ColourFromRef(static_cast<int32_t>(ColourValue(description_.value("background"))));
        w_->setStyleSheet(QString("QTreeWidget { color: %1; background: %2; border: none; outline: 0; }"
                                  "QTreeWidget::item { height: 20px; }"
                                  "QTreeWidget::item:hover { background: #2c3a3a; }"
                                  "QTreeWidget::item:selected { background: #2f7de1; color: white; }"
                                  "QScrollBar:vertical { background: #1a2020; width: 8px; }"
                                  "QScrollBar::handle:vertical { background: #465252; border-radius: 4px; min-height: 20px; }"
                                  "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }")
                              .arg(fg.name(), bg.name()));
        QObject::connect(w_, &QTreeWidget::itemSelectionChanged, w_, [this] {
            if (!muted_) Raise("SelectionChanged");
        });
        w_->viewport()->installEventFilter(new RightFilter(this, w_));
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::SelectedIndex) {
            auto sel = w_->selectedItems();
            return sel.isEmpty() ? -1 : IndexOf(sel.first());
        }
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::SelectedIndex) { Select(IntOf(v)); return true; }
        return Unit::Set(p, v);
    }

    void Clear() {
        muted_ = true;
        w_->clear();
        muted_ = false;
    }
    void Add(const Text& text, int32_t parentIndex) {
        auto* item = new QTreeWidgetItem(QStringList{Q(text)});
        if (!icon_.isNull()) item->setIcon(0, icon_);
        if (parentIndex < 0) { w_->addTopLevelItem(item); return; }
        QTreeWidgetItem* parent = ItemAt(parentIndex);
        if (parent) parent->addChild(item);
        else { delete item; }
    }
    std::vector<QTreeWidgetItem*> Flat() const {
        std::vector<QTreeWidgetItem*> out;
        std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* it) {
            out.push_back(it);
            for (int i = 0; i < it->childCount(); ++i) walk(it->child(i));
        };
        for (int i = 0; i < w_->topLevelItemCount(); ++i) walk(w_->topLevelItem(i));
        return out;
    }
    QTreeWidgetItem* ItemAt(int32_t index) const {
        auto flat = Flat();
        return index >= 0 && index < static_cast<int32_t>(flat.size()) ? flat[index] : nullptr;
    }
    int32_t IndexOf(QTreeWidgetItem* item) const {
        auto flat = Flat();
        for (size_t i = 0; i < flat.size(); ++i) if (flat[i] == item) return static_cast<int32_t>(i);
        return -1;
    }
    void Select(int32_t index) {
        QTreeWidgetItem* item = ItemAt(index);
        if (!item) return;
        if (item->parent()) item->parent()->setExpanded(true);
        w_->setCurrentItem(item);
    }
    QTreeWidget* tree() const { return w_; }

private:
    class RightFilter : public QObject {
    public:
        RightFilter(TreeUnit* unit, QObject* parent) : QObject(parent), unit_(unit) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MouseButtonPress) {
                auto* m = static_cast<QMouseEvent*>(e);
                if (m->button() == Qt::RightButton) {
                    unit_->Raise("RightButtonDown", {static_cast<int32_t>(m->position().x()),
                                                     static_cast<int32_t>(m->position().y()), 2});
                    return true;  // the right button does not select
                }
            }
            return false;
        }
        TreeUnit* unit_;
    };
    QTreeWidget* w_ = nullptr;
    QIcon icon_;
    bool muted_ = false;
};


// ---- combo box ----
class ComboUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new QComboBox(parent);
        w_->setObjectName(QString::fromStdString(name_));
        for (const QJsonValue& item : description_.value("items").toArray()) {
            QJsonObject o = item.toObject();
            w_->addItem(o.value("text").toString(), o.value("value").toInt());
        }
        w_->setCurrentIndex(description_.value("selected").toInt(w_->count() > 0 ? 0 : -1));
        // A choice from the list raises the event even when it picks the item already shown.
        QObject::connect(w_, &QComboBox::activated, w_, [this] { Raise("SelectionChanged"); });
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::SelectedIndex) return static_cast<int32_t>(w_->currentIndex());
        if (p == Prop::Text) return T(w_->currentText());
        if (p == Prop::Value) return static_cast<int32_t>(w_->currentData().toInt());
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::SelectedIndex) {
            int before = w_->currentIndex();
            w_->setCurrentIndex(IntOf(v));
            if (w_->currentIndex() != before) Raise("SelectionChanged");
            return true;
        }
        return Unit::Set(p, v);
    }

private:
    QComboBox* w_ = nullptr;
};

// ---- report list view: columns with titles, rows of cells ----
class ReportListUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new QTableWidget(parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->verticalHeader()->hide();
        w_->horizontalHeader()->setMinimumSectionSize(0);
        w_->horizontalHeader()->setStretchLastSection(false);
        w_->horizontalHeader()->setHighlightSections(false);
        w_->setSelectionBehavior(QAbstractItemView::SelectRows);
        w_->setSelectionMode(QAbstractItemView::SingleSelection);
        w_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        w_->setShowGrid(false);
        w_->setWordWrap(false);
        w_->setFrameShape(QFrame::NoFrame);
        w_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        w_->setFont(QFont(QStringList{"SimSun", QString::fromUtf8("宋体"), "WenQuanYi Micro Hei"}, -1));
        QFont f = w_->font();
        f.setPixelSize(12);
        w_->setFont(f);
        w_->verticalHeader()->setDefaultSectionSize(18);
        w_->setStyleSheet("QTableWidget { background: white; color: black; outline: 0;"
                          " selection-background-color: #3d7fd6; selection-color: white; }"
                          "QTableWidget:disabled { color: #8a8a8a; }"
                          "QHeaderView::section { background: #dbe7f5; border: none; border-bottom: 1px solid #a9c1df;"
                          " padding-left: 4px; height: 18px; }");
        QObject::connect(w_, &QTableWidget::itemSelectionChanged, w_, [this] {
            if (!muted_) Raise("SelectionChanged");
        });
        QObject::connect(w_, &QTableWidget::cellDoubleClicked, w_, [this](int, int) { Raise("DoubleClick"); });
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::SelectedIndex) {
            auto rows = w_->selectionModel()->selectedRows();
            return rows.isEmpty() ? -1 : static_cast<int32_t>(rows.first().row());
        }
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::SelectedIndex) {
            int32_t row = IntOf(v);
            if (row < 0 || row >= w_->rowCount()) w_->clearSelection();
            else w_->selectRow(row);
            return true;
        }
        return Unit::Set(p, v);
    }

    void RemoveAllRows() {
        muted_ = true;
        w_->setRowCount(0);
        muted_ = false;
    }
    int32_t Columns() const { return w_->columnCount(); }
    void DeleteColumn(int32_t c) {
        if (c < 0 || c >= w_->columnCount()) return;
        muted_ = true;
        w_->removeColumn(c);
        muted_ = false;
    }
    void AppendColumn(const Text& title, int32_t width) {
        int c = w_->columnCount();
        w_->insertColumn(c);
        w_->setHorizontalHeaderItem(c, new QTableWidgetItem(Q(title)));
        w_->setColumnWidth(c, std::max(0, width));
    }
    void SetColumnWidth(int32_t c, int32_t width) {
        if (c >= 0 && c < w_->columnCount()) w_->setColumnWidth(c, std::max(0, width));
    }
    int32_t ColumnWidth(int32_t c) const {
        return c >= 0 && c < w_->columnCount() ? w_->columnWidth(c) : -1;
    }
    Text ColumnTitle(int32_t c) const {
        QTableWidgetItem* item = c >= 0 && c < w_->columnCount() ? w_->horizontalHeaderItem(c) : nullptr;
        return item ? T(item->text()) : Text();
    }
    int32_t AppendRow() {
        int r = w_->rowCount();
        w_->insertRow(r);
        return r;
    }
    int32_t Rows() const { return w_->rowCount(); }
    void SetCell(int32_t r, int32_t c, const Text& text) {
        if (r < 0 || r >= w_->rowCount() || c < 0 || c >= w_->columnCount()) return;
        w_->setItem(r, c, new QTableWidgetItem(Q(text)));
    }
    void ReplaceAll(const std::vector<Text>& titles, int32_t width, const std::vector<std::vector<Text>>& rows) {
        muted_ = true;
        const bool updates = w_->updatesEnabled();
        w_->setUpdatesEnabled(false);
        w_->setRowCount(0);
        w_->setColumnCount(0);
        const int columns = static_cast<int>(titles.size());
        w_->setColumnCount(columns);
        for (int c = 0; c < columns; ++c) {
            w_->setHorizontalHeaderItem(c, new QTableWidgetItem(Q(titles[static_cast<size_t>(c)])));
            w_->setColumnWidth(c, std::max(0, width));
        }
        w_->setRowCount(static_cast<int>(rows.size()));
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            const std::vector<Text>& cells = rows[static_cast<size_t>(r)];
            for (int c = 0; c < std::min(columns, static_cast<int>(cells.size())); ++c)
                w_->setItem(r, c, new QTableWidgetItem(Q(cells[static_cast<size_t>(c)])));
        }
        w_->setUpdatesEnabled(updates);
        muted_ = false;
    }
    Text Cell(int32_t r, int32_t c) const {
        QTableWidgetItem* item = r >= 0 && r < w_->rowCount() && c >= 0 && c < w_->columnCount() ? w_->item(r, c) : nullptr;
        return item ? T(item->text()) : Text();
    }

private:
    QTableWidget* w_ = nullptr;
    bool muted_ = false;  // the system's own clearing is no selection by the user
};

}  // namespace

std::unique_ptr<Unit> CreateTreeUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<TreeUnit>(window, d);
}
std::unique_ptr<Unit> CreateComboUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<ComboUnit>(window, d);
}
std::unique_ptr<Unit> CreateReportListUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<ReportListUnit>(window, d);
}

void TreeClear(const UnitRef& ref) { if (auto* t = As<TreeUnit>(ref)) t->Clear(); }
void TreeAddItem(const UnitRef& ref, const Text& text, int32_t parentIndex) {
    if (auto* t = As<TreeUnit>(ref)) t->Add(text, parentIndex);
}
int32_t TreeCount(const UnitRef& ref) {
    auto* t = As<TreeUnit>(ref);
    return t ? static_cast<int32_t>(t->Flat().size()) : 0;
}
Text TreeItemText(const UnitRef& ref, int32_t index) {
    auto* t = As<TreeUnit>(ref);
    QTreeWidgetItem* item = t ? t->ItemAt(index) : nullptr;
    return item ? T(item->text(0)) : Text();
}
void TreeSelect(const UnitRef& ref, int32_t index) { if (auto* t = As<TreeUnit>(ref)) t->Select(index); }
std::vector<Text> TreeChildren(const UnitRef& ref, int32_t index) {
    std::vector<Text> out;
    auto* t = As<TreeUnit>(ref);
    if (!t) return out;
    if (index < 0) {
        for (int i = 0; i < t->tree()->topLevelItemCount(); ++i) out.push_back(T(t->tree()->topLevelItem(i)->text(0)));
    } else if (QTreeWidgetItem* item = t->ItemAt(index)) {
        for (int i = 0; i < item->childCount(); ++i) out.push_back(T(item->child(i)->text(0)));
    }
    return out;
}


bool ComboDroppedDown(const UnitRef& combo) {
    return OnUi([&] {
        auto* c = qobject_cast<QComboBox*>(WidgetOf(combo));
        return c && c->view() && c->view()->isVisible();
    });
}

Text ComboItemText(const UnitRef& combo, int32_t index) {
    return OnUi([&] {
        auto* c = qobject_cast<QComboBox*>(WidgetOf(combo));
        return c && index >= 0 && index < c->count() ? T(c->itemText(index)) : Text();
    });
}


void ReportRemoveAllRows(const UnitRef& list) {
    WriteOnUi([list] { if (auto* l = As<ReportListUnit>(list)) l->RemoveAllRows(); });
}
int32_t ReportColumnCount(const UnitRef& list) {
    return OnUi([&] { auto* l = As<ReportListUnit>(list); return l ? l->Columns() : 0; });
}
void ReportDeleteColumn(const UnitRef& list, int32_t column) {
    WriteOnUi([list, column] { if (auto* l = As<ReportListUnit>(list)) l->DeleteColumn(column); });
}
void ReportAppendColumn(const UnitRef& list, const Text& title, int32_t width) {
    WriteOnUi([list, title, width] { if (auto* l = As<ReportListUnit>(list)) l->AppendColumn(title, width); });
}
void ReportSetColumnWidth(const UnitRef& list, int32_t column, int32_t width) {
    WriteOnUi([list, column, width] { if (auto* l = As<ReportListUnit>(list)) l->SetColumnWidth(column, width); });
}
int32_t ReportColumnWidth(const UnitRef& list, int32_t column) {
    return OnUi([&] { auto* l = As<ReportListUnit>(list); return l ? l->ColumnWidth(column) : -1; });
}
Text ReportColumnTitle(const UnitRef& list, int32_t column) {
    return OnUi([&] { auto* l = As<ReportListUnit>(list); return l ? l->ColumnTitle(column) : Text(); });
}
int32_t ReportAppendRow(const UnitRef& list) {
    return OnUi([&] { auto* l = As<ReportListUnit>(list); return l ? l->AppendRow() : -1; });
}
int32_t ReportRowCount(const UnitRef& list) {
    return OnUi([&] { auto* l = As<ReportListUnit>(list); return l ? l->Rows() : 0; });
}
void ReportSetCell(const UnitRef& list, int32_t row, int32_t column, const Text& text) {
    WriteOnUi([list, row, column, text] { if (auto* l = As<ReportListUnit>(list)) l->SetCell(row, column, text); });
}
void ReportReplaceAll(const UnitRef& list, std::vector<Text> titles, int32_t width,
                      std::vector<std::vector<Text>> rows) {
    WriteOnUi([list, titles = std::move(titles), width, rows = std::move(rows)] {
        if (auto* l = As<ReportListUnit>(list)) l->ReplaceAll(titles, width, rows);
    });
}
Text ReportCell(const UnitRef& list, int32_t row, int32_t column) {
    return OnUi([&] { auto* l = As<ReportListUnit>(list); return l ? l->Cell(row, column) : Text(); });
}

}  // namespace orbiq::platform
