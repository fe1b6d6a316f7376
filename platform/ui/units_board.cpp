// Unit types of the message board (report list view, balloon tip, tab control) and the
// platform operations it needs: focus, unit messages, window geometry events, clipboard,
// cursor and screen, INI keys.
#include "platform/ui/units.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>

#include "common/files.h"
#include "platform/ui/program.h"

namespace orbiq::platform {
namespace {


// Runs f on the UI thread and returns its result; from another thread the caller waits.
template <typename F>
auto OnUi(F f) -> decltype(f()) {
    if (IsUiThread() || !QCoreApplication::instance()) return f();
    decltype(f()) result{};
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}
// Writes from another thread are queued; a window gone by then is skipped (f looks it up).
template <typename F>
void WriteOnUi(F f) {
    if (IsUiThread() || !QCoreApplication::instance()) { f(); return; }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(f), Qt::QueuedConnection);
}

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
    Text Cell(int32_t r, int32_t c) const {
        QTableWidgetItem* item = r >= 0 && r < w_->rowCount() && c >= 0 && c < w_->columnCount() ? w_->item(r, c) : nullptr;
        return item ? T(item->text()) : Text();
    }

private:
    QTableWidget* w_ = nullptr;
    bool muted_ = false;  // the system's own clearing is no selection by the user
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

template <typename U>
U* As(const UnitRef& ref) { return dynamic_cast<U*>(FindUnit(ref)); }

// INI lines: "[section]" and "key=value"; blanks around names are not part of them.
bool SameName(std::string a, std::string b) {
    auto trim = [](std::string& s) {
        size_t b0 = s.find_first_not_of(" \t");
        size_t e0 = s.find_last_not_of(" \t");
        s = b0 == std::string::npos ? std::string() : s.substr(b0, e0 - b0 + 1);
    };
    trim(a);
    trim(b);
    return Text(a).LowerAscii() == Text(b).LowerAscii();
}
std::vector<std::string> Lines(const ByteSet& bytes) {
    std::vector<std::string> lines;
    std::string cur;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            if (!cur.empty() && cur.back() == '\r') cur.pop_back();
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += static_cast<char>(c);
        }
    }
    if (!cur.empty()) {
        if (cur.back() == '\r') cur.pop_back();
        lines.push_back(cur);
    }
    return lines;
}
bool IsSection(const std::string& line, std::string* name) {
    size_t open = line.find_first_not_of(" \t");
    if (open == std::string::npos || line[open] != '[') return false;
    size_t close = GbkFind(line, "]", open);  // not the second byte of a character
    if (close == std::string::npos) return false;
    *name = line.substr(open + 1, close - open - 1);
    return true;
}

}  // namespace

std::unique_ptr<Unit> CreateBoardUnit(Window* window, const QJsonObject& d) {
    const QString type = d.value("type").toString();
    if (type == "report list view") return std::make_unique<ReportListUnit>(window, d);
    if (type == "balloon tip") return std::make_unique<BalloonTipUnit>(window, d);
    if (type == "tab control") return std::make_unique<TabControlUnit>(window, d);
    return nullptr;
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
Text ReportCell(const UnitRef& list, int32_t row, int32_t column) {
    return OnUi([&] { auto* l = As<ReportListUnit>(list); return l ? l->Cell(row, column) : Text(); });
}

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

void PostToUiThread(std::function<void()> routine) {
    if (auto* app = QCoreApplication::instance()) QMetaObject::invokeMethod(app, std::move(routine), Qt::QueuedConnection);
}

void SetClipboardText(const Text& text) {
    WriteOnUi([text] { QGuiApplication::clipboard()->setText(Q(text)); });
}
Text ClipboardText() {
    return OnUi([] { return T(QGuiApplication::clipboard()->text()); });
}

void CursorPosition(int32_t* x, int32_t* y) {
    QPoint p = OnUi([] { return QCursor::pos(); });
    *x = p.x();
    *y = p.y();
}
int32_t ScreenWidth() {
    return OnUi([]() -> int32_t {
        QScreen* s = QGuiApplication::primaryScreen();
        return s ? s->geometry().width() : 0;
    });
}

Text ReadIniKey(const Text& file, const Text& section, const Text& key, int32_t maxLength) {
    bool whole = true;
    ByteSet head = ReadFileHeadAt(file, kIniReadLimit, &whole);
    if (!whole) {  // the last line read is cut short: not a line
        auto lastEnd = std::find(head.rbegin(), head.rend(), '\n');
        head.erase(lastEnd.base(), head.end());
    }
    std::string current;
    bool inSection = false;
    for (const std::string& line : Lines(head)) {
        if (IsSection(line, &current)) { inSection = SameName(current, section.Bytes()); continue; }
        if (!inSection) continue;
        size_t eq = GbkFind(line, "=");
        if (eq != std::string::npos && SameName(line.substr(0, eq), key.Bytes())) {
            const size_t length = line.size() - eq - 1;
            if (maxLength > 0 && length > static_cast<size_t>(maxLength)) return Text();
            return Text(line.substr(eq + 1));
        }
    }
    return Text();
}

bool WriteIniKey(const Text& file, const Text& section, const Text& key, const Text& value) {
    // A line end in the value would make lines of its own.
    std::string v = value.Bytes();
    v.erase(std::remove_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }), v.end());
    const std::string entry = key.Bytes() + "=" + v;
    if (FileSizeAt(file) > static_cast<int64_t>(kIniReadLimit)) return false;  // not ours to rewrite
    std::vector<std::string> lines = Lines(ReadFileAt(file));
    std::string current;
    int sectionAt = -1, keyAt = -1, sectionEnd = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsSection(lines[i], &current)) {
            if (sectionAt >= 0 && sectionEnd < 0) sectionEnd = static_cast<int>(i);
            if (sectionAt < 0 && SameName(current, section.Bytes())) sectionAt = static_cast<int>(i);
            continue;
        }
        if (sectionAt >= 0 && sectionEnd < 0 && keyAt < 0) {
            size_t eq = GbkFind(lines[i], "=");
            if (eq != std::string::npos && SameName(lines[i].substr(0, eq), key.Bytes())) keyAt = static_cast<int>(i);
        }
    }
    if (keyAt >= 0) {
        lines[keyAt] = entry;
    } else if (sectionAt >= 0) {
        int at = sectionEnd < 0 ? static_cast<int>(lines.size()) : sectionEnd;
        while (at > sectionAt + 1 && lines[at - 1].empty()) --at;  // before the blank lines that part sections
        lines.insert(lines.begin() + at, entry);
    } else {
        lines.push_back("[" + section.Bytes() + "]");
        lines.push_back(entry);
    }
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return WriteFileAt(file, ByteSet(out.begin(), out.end()));
}

}  // namespace orbiq::platform
