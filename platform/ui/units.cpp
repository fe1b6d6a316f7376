#include "platform/ui/units.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QValidator>

#include <algorithm>
#include <utility>

#include "common/files.h"
#include "platform/ui/media_unit.h"
#include "platform/ui/program.h"

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

ByteSet BytesOfResource(const QString& resource) {
    QFile file(":/pictures/" + resource);
    if (resource.isEmpty() || !file.open(QIODevice::ReadOnly)) return {};
    QByteArray b = file.readAll();
    return ByteSet(b.begin(), b.end());
}

// A unit with no widget and no behaviour of its own (timers aside, see below).
class PlainUnit : public Unit {
public:
    using Unit::Unit;
    void Build(QWidget*) override {}
};

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
        else if (mode == "center") p.drawPixmap((width() - pixmap.width()) / 2, (height() - pixmap.height()) / 2, pixmap);
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
        }
        w_->mode = description_.value("draw").toString();
        bytes_ = BytesOfResource(description_.value("picture").toString());
        w_->pixmap.loadFromData(bytes_.data(), static_cast<uint>(bytes_.size()));
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
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (fill) p.fillRect(rect(), background);
        if (!picture.isNull()) p.drawTiledPixmap(rect(), picture);
        p.setPen(colour);
        p.setFont(font());
        int flags = static_cast<int>(align) | (wrap ? Qt::TextWordWrap : 0);
        p.drawText(rect(), flags, text);
    }
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
        if (description_.contains("background")) {
            w_->fill = true;
            w_->background = ColourFromRef(static_cast<int32_t>(ColourValue(description_.value("background"))));
        }
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Caption) return T(w_->text);
        if (p == Prop::TextColour) return colourRef_;
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Caption) { w_->text = Q(TextOf(v)); w_->update(); return true; }
        if (p == Prop::TextColour) { colourRef_ = IntOf(v); w_->colour = ColourFromRef(colourRef_); w_->update(); return true; }
        return Unit::Set(p, v);
    }

private:
    TextWidget* w_ = nullptr;
    int32_t colourRef_ = 0;
};

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
        if (!face.isNull()) p.drawPixmap((width() - face.width()) / 2, (height() - face.height()) / 2 + (isDown() ? 1 : 0), face);
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

// ---- edit box ----
class EditUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return line_ ? static_cast<QWidget*>(line_) : multi_; }
    void Build(QWidget* parent) override {
        QString text = window_->Expand(description_.value("text").toString());
        if (description_.value("multiline").toBool()) {
            multi_ = new QPlainTextEdit(text, parent);
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
        int span = width() - thumb.width();
        return maximum > minimum ? (position - minimum) * span / (maximum - minimum) : 0;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        int ty = (height() - track.height()) / 2;
        int tx = (width() - track.width()) / 2;
        p.drawPixmap(tx, ty, track);
        int fillTo = ThumbX() + thumb.width() / 2;
        p.drawPixmap(QRect(tx, ty, std::max(0, std::min(fillTo - tx, filled.width())), filled.height()), filled,
                     QRect(0, 0, std::max(0, std::min(fillTo - tx, filled.width())), filled.height()));
        p.drawPixmap(ThumbX(), (height() - thumb.height()) / 2, thumb);
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
        int span = std::max(1, width() - thumb.width());
        int x = static_cast<int>(e->position().x()) - thumb.width() / 2;
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

// ---- group box, combo box ----
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
    if (type == "picture box") return std::make_unique<PictureBoxUnit>(window, d);
    if (type == "transparent label" || type == "label") return std::make_unique<LabelUnit>(window, d);
    if (type == "graphic button") return std::make_unique<GraphicButtonUnit>(window, d);
    if (type == "super button") return std::make_unique<SuperButtonUnit>(window, d);
    if (type == "button") return std::make_unique<ButtonUnit>(window, d);
    if (type == "radio button") return std::make_unique<RadioUnit>(window, d);
    if (type == "edit box") return std::make_unique<EditUnit>(window, d);
    if (type == "tree list") return std::make_unique<TreeUnit>(window, d);
    if (type == "slider") return std::make_unique<SliderUnit>(window, d);
    if (type == "progress bar") return std::make_unique<ProgressUnit>(window, d);
    if (type == "group box") return std::make_unique<GroupUnit>(window, d);
    if (type == "combo box") return std::make_unique<ComboUnit>(window, d);
    if (type == "timer") return std::make_unique<TimerUnit>(window, d);
    if (type == "common dialog") return std::make_unique<DialogUnit>(window, d);
    if (type == "media player") return CreateMediaPlayerUnit(window, d);
    if (auto unit = CreateWebUnit(window, d)) return unit;
    if (auto unit = CreateBoardUnit(window, d)) return unit;
    // external database, system volume, balloon tip, super menu...: no behaviour here
    return std::make_unique<PlainUnit>(window, d);
}

namespace {
template <typename U>
U* As(const UnitRef& ref) { return dynamic_cast<U*>(FindUnit(ref)); }
}  // namespace

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

void ShowOpenFileDialog(const UnitRef& ref) { if (auto* d = As<DialogUnit>(ref)) d->ShowOpen(); }
void SetOpenFileDialogResponder(std::function<std::string()> responder) { gDialogResponder = std::move(responder); }

}  // namespace orbiq::platform
