// Unit types that show web content: the HTML view and the hyperlink box.
// The HTML view fetches a page with the plain GET on a thread of its own and shows it in a
// QTextBrowser; a page that cannot be fetched leaves the view blank.
#include "platform/ui/units.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTextBrowser>
#include <QUrl>

#include <memory>
#include <mutex>

#include "common/http_get.h"
#include "platform/ui/program.h"

namespace orbiq::platform {
namespace {




// Bytes that cannot stand in a request line as they are; "%" and the URL's own
// delimiters are left alone, so an address that is already encoded keeps its meaning.
Text WireAddress(const Text& address) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : address.Bytes()) {
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
            c == '{' || c == '|' || c == '}') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return Text(out);
}

// Where a finished fetch goes: cleared when the view goes, so a late answer is dropped.
struct Delivery {
    std::mutex mutex;
    QObject* target = nullptr;
};

class PageWidget : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    // Pictures and style sheets of a page are not fetched.
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

class HtmlViewUnit : public Unit {
public:
    using Unit::Unit;
    ~HtmlViewUnit() override {
        std::lock_guard lock(delivery_->mutex);
        delivery_->target = nullptr;
    }
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new PageWidget(parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->setOpenLinks(false);
        w_->setFrameShape(QFrame::NoFrame);
        w_->setFocusPolicy(description_.value("tab").toBool() ? Qt::StrongFocus : Qt::NoFocus);
        // A link followed in the page navigates the view, as a browser control does.
        QObject::connect(w_, &QTextBrowser::anchorClicked, w_, [this](const QUrl& link) {
            QUrl base(Q(address_));
            Navigate(T(base.resolved(link).toString()));
        });
        delivery_->target = w_;
        ApplyCommon();
        QString start = window_->Expand(description_.value("address").toString());
        if (!start.isEmpty()) Navigate(T(start));
    }
    PropValue Get(Prop p) override {
        if (p == Prop::URL) return address_;
        if (p == Prop::Text) return T(w_->toPlainText());
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::URL) { Navigate(TextOf(v)); return true; }
        return Unit::Set(p, v);
    }

private:
    // Every navigation sends its GET; only the latest one's page is shown.
    void Navigate(const Text& address) {
        address_ = address;
        uint64_t serial = ++serial_;
        w_->clear();
        std::shared_ptr<Delivery> delivery = delivery_;
        Text wire = WireAddress(address);
        auto fetch = [delivery, wire, serial, this] {
            ByteSet body = HttpGet(wire);
            std::lock_guard lock(delivery->mutex);
            if (!delivery->target) return;
            // Queued to the view's own thread; dropped by Qt if the view is deleted first.
            QMetaObject::invokeMethod(delivery->target, [this, serial, body = std::move(body)] {
                if (serial == serial_) Show(body);
            }, Qt::QueuedConnection);
        };
        if (!StartThread(std::function<void()>(fetch))) return;
    }
    void Show(const ByteSet& body) {
        std::string page(body.begin(), body.end());
        w_->setHtml(QString::fromUtf8(GbkToUtf8(page)));
    }

    PageWidget* w_ = nullptr;
    std::shared_ptr<Delivery> delivery_ = std::make_shared<Delivery>();
    Text address_;
    uint64_t serial_ = 0;
};

// ---- hyperlink box: its text is an address, opened in the default browser on a click ----
class LinkWidget : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> clicked;
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && clicked) clicked();
        QLabel::mouseReleaseEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override { e->accept(); }  // a click, not a drag of the window
};

class HyperlinkUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        w_ = new LinkWidget(parent);
        w_->setObjectName(QString::fromStdString(name_));
        w_->setFont(FontOf(description_));
        w_->setCursor(Qt::PointingHandCursor);
        SetText(T(window_->Expand(description_.value("text").toString())));
        QPalette pal = w_->palette();
        pal.setColor(QPalette::WindowText, ColourFromRef(static_cast<int32_t>(ColourValue(description_.value("colour")))));
        w_->setPalette(pal);
        w_->clicked = [this] { OpenInBrowser(text_); };
        ApplyCommon();
        w_->setCursor(Qt::PointingHandCursor);
    }
    PropValue Get(Prop p) override {
        if (p == Prop::Text || p == Prop::Caption) return text_;
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::Text || p == Prop::Caption) { SetText(TextOf(v)); return true; }
        return Unit::Set(p, v);
    }

private:
    void SetText(const Text& text) {
        text_ = text;
        QFont f = w_->font();
        f.setUnderline(true);
        w_->setFont(f);
        w_->setText(Q(text));
    }
    LinkWidget* w_ = nullptr;
    Text text_;
};

}  // namespace

std::unique_ptr<Unit> CreateWebUnit(Window* window, const QJsonObject& d) {
    const QString type = d.value("type").toString();
    if (type == "html view") return std::make_unique<HtmlViewUnit>(window, d);
    if (type == "hyperlink box") return std::make_unique<HyperlinkUnit>(window, d);
    return nullptr;
}

}  // namespace orbiq::platform
