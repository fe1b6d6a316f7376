// The edit box unit, one line or many, with its text limit counted in GBK bytes.
#include "platform/ui/units_internal.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextLayout>
#include <QValidator>

#include <algorithm>
#include <cmath>
#include <utility>

namespace orbiq::platform {
namespace {

// Limits an edit box's text to a number of GBK bytes as the user types or pastes, as an edit
// control's text limit does: of what an edit puts in, the whole characters that fit are kept;
// when none fits, the edit is refused. The system's own writes are not cut.
class GbkLengthValidator : public QValidator {
public:
    explicit GbkLengthValidator(QObject* parent) : QValidator(parent) {}
    int32_t maxBytes = 0;     // 0: no limit
    bool systemWrite = false;  // set while the system writes the text
    QString before;            // the text before the edit in hand

    static int32_t GbkBytes(const QString& text) { return static_cast<int32_t>(Utf8ToGbk(text.toStdString()).size()); }

    State validate(QString& input, int& pos) const override {
        if (maxBytes <= 0 || systemWrite) return Acceptable;
        const int32_t bytes = GbkBytes(input);
        if (bytes <= maxBytes || bytes <= GbkBytes(before)) return Acceptable;  // fits, or does not grow
        // The edit replaced a stretch of the old text by what ends at the cursor.
        const int cursor = std::clamp(pos, 0, static_cast<int>(input.size()));
        const QString tail = input.mid(cursor);
        if (!before.endsWith(tail)) return Invalid;
        int kept = 0;  // the unchanged start of the old text stays whatever happens
        const int keptMax = std::min(cursor, static_cast<int>(before.size() - tail.size()));
        while (kept < keptMax && before[kept] == input[kept]) ++kept;
        int32_t used = GbkBytes(tail);
        int end = 0;  // characters of input kept before the tail
        while (end < cursor) {
            int step = input[end].isHighSurrogate() && end + 1 < cursor && input[end + 1].isLowSurrogate() ? 2 : 1;
            int32_t size = GbkBytes(input.mid(end, step));
            if (used + size > maxBytes) break;
            used += size;
            end += step;
        }
        if (end <= kept) return Invalid;  // nothing of the edit fits
        input = input.left(end) + tail;
        pos = end;
        return Acceptable;
    }
};

// A multi-line box as an edit control shows it: whole lines only, so the last line shown is
// never cut, and Tab moves the focus (Ctrl+Tab types a tab).
class MultiLineEdit : public QPlainTextEdit {
public:
    MultiLineEdit(const QString& text, QWidget* parent) : QPlainTextEdit(text, parent) {
        setTabChangesFocus(true);
        // The strip below the last whole line is the box's own ground, as the text area's.
        setBackgroundRole(QPalette::Base);
        setAutoFillBackground(true);
        FitWholeLines();
        // A line taller than the box counts as not shown, so the text widget lets a box one line
        // high scroll below its last line, where it then shows nothing: stop at the last line.
        // The widget sets the range again after each change of the text (not always a new range).
        connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { StopAtLastLine(); });
        connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
                [this] { StopAtLastLine(); });
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        FitWholeLines();
        QPlainTextEdit::resizeEvent(e);
    }
    void changeEvent(QEvent* e) override {
        if (e->type() == QEvent::FontChange) FitWholeLines();
        QPlainTextEdit::changeEvent(e);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Tab && e->modifiers() == Qt::ControlModifier && !isReadOnly()) {
            insertPlainText(QStringLiteral("\t"));
            return;
        }
        QPlainTextEdit::keyPressEvent(e);
    }

private:
    // Scrolled to the end, the box shows its last lines as many as it holds (at least the last).
    void StopAtLastLine() {
        const int shown = std::max(1, viewport()->height() / lineHeight_);
        const int last = std::max(0, document()->lineCount() - shown);
        if (verticalScrollBar()->maximum() > last) verticalScrollBar()->setMaximum(last);
    }
    // The text area ends below the last whole line it holds; a box lower than one line keeps it all.
    void FitWholeLines() {
        QTextLayout layout(QString::fromUtf8("国Qg"), font());
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        lineHeight_ = std::max(1, static_cast<int>(std::ceil(line.height())));
        const int inside = contentsRect().height();  // no horizontal scroll bar
        const int spare = inside >= lineHeight_ ? inside % lineHeight_ : 0;
        if (viewportMargins().bottom() != spare) setViewportMargins(0, 0, 0, spare);
    }
    int lineHeight_ = 1;
};

// ---- edit box ----
class EditUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return line_ ? static_cast<QWidget*>(line_) : multi_; }
    void Build(QWidget* parent) override {
        QString text = window_->Expand(description_.value("text").toString());
        if (description_.value("multiline").toBool()) {
            multi_ = new MultiLineEdit(text, parent);
            multi_->setReadOnly(description_.value("readonly").toBool());
            const QString bars = description_.value("scrollbars").toString();
            if (bars == "none") multi_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            if (bars == "vertical") multi_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            multi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            // A thin sunken border with the text right inside it, so that a box one line high
            // shows its whole line (the default margins hide its lower part).
            multi_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            multi_->setLineWidth(1);
            multi_->document()->setDocumentMargin(0);
            QObject::connect(multi_, &QPlainTextEdit::textChanged, multi_, [this] { Raise("TextChanged"); });
        } else {
            line_ = new QLineEdit(text, parent);
            line_->setReadOnly(description_.value("readonly").toBool());
            line_->setFrame(description_.value("border").toBool(true));
            validator_ = new GbkLengthValidator(line_);
            validator_->maxBytes = description_.value("maxlength").toInt(0);
            validator_->before = text;
            line_->setValidator(validator_);
            QObject::connect(line_, &QLineEdit::textChanged, validator_,
                             [v = validator_](const QString& now) { v->before = now; });
            QObject::connect(line_, &QLineEdit::textChanged, line_, [this] { Raise("TextChanged"); });
        }
        Widget()->setObjectName(QString::fromStdString(name_));
        Widget()->setFont(FontOf(description_));
        Widget()->installEventFilter(new KeyFilter(this, Widget()));
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        // Lines of a multi-line box end in CR LF, as the system's texts expect.
        if (p == Prop::Text) return T(line_ ? line_->text() : multi_->toPlainText().replace('\n', "\r\n"));
        if (p == Prop::MaxLength) return validator_ ? validator_->maxBytes : 0;
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Text) {
            if (line_) {
                const bool was = std::exchange(validator_->systemWrite, true);
                line_->setText(Q(TextOf(v)));
                validator_->systemWrite = was;
            } else {
                multi_->setPlainText(Q(TextOf(v)).replace("\r\n", "\n"));
            }
            return true;
        }
        // MaxLength counts GBK bytes, as typed; 0 lifts the limit.
        if (p == Prop::MaxLength) { if (validator_) validator_->maxBytes = std::max(0, IntOf(v)); return true; }
        return Unit::Set(p, v);
    }

private:
    class KeyFilter : public QObject {
    public:
        KeyFilter(EditUnit* unit, QObject* parent) : QObject(parent), unit_(unit) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) {
                auto* k = static_cast<QKeyEvent*>(e);
                int code = (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) ? 13 : k->key() & 0xFFFF;
                unit_->Raise("KeyDown", {code, static_cast<int32_t>(k->modifiers() >> 25)});
            } else if (e->type() == QEvent::MouseButtonPress) {
                auto* m = static_cast<QMouseEvent*>(e);
                if (m->button() == Qt::LeftButton)
                    unit_->Raise("LeftButtonDown", {static_cast<int32_t>(m->position().x()),
                                                    static_cast<int32_t>(m->position().y()), 1});
            }
            return false;
        }
        EditUnit* unit_;
    };
    QLineEdit* line_ = nullptr;
    QPlainTextEdit* multi_ = nullptr;
    GbkLengthValidator* validator_ = nullptr;
};

}  // namespace

std::unique_ptr<Unit> CreateEditUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<EditUnit>(window, d);
}

}  // namespace orbiq::platform
