// Unit types that show web content: the HTML view and the hyperlink box.
// A shown HTML view is a browser on Qt WebEngine: its page loads with pictures, style sheets
// and scripts, and a page that fails shows the engine's own error page. A view stored hidden
// only sends: its navigation is the plain GET of the same request line, with no page kept.
#include "platform/ui/units_internal.h"

#include <QLabel>
#include <QMouseEvent>
#include <QUrl>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

#include <functional>
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

// Chromium will not start its sandbox for root; as root the pages load without it.
void PrepareEngine() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    });
}

class HtmlViewUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        if (description_.value("visible").toBool(true)) {
            PrepareEngine();
            view_ = new QWebEngineView(parent);
            w_ = view_;
            // A link that the page opens in a new window goes to the default browser.
            QObject::connect(view_->page(), &QWebEnginePage::newWindowRequested, view_,
                             [](QWebEngineNewWindowRequest& request) {
                                 OpenInBrowser(Text(request.requestedUrl().toEncoded().toStdString()));
                             });
        } else {
            w_ = new QWidget(parent);
        }
        w_->setObjectName(QString::fromStdString(name_));
        w_->setFocusPolicy(description_.value("tab").toBool() ? Qt::StrongFocus : Qt::NoFocus);
        ApplyCommon();
        QString start = window_->Expand(description_.value("address").toString());
        if (!start.isEmpty()) Navigate(T(start));
    }
    PropValue Get(Prop p) override {
        if (p == Prop::URL) return address_;
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::URL) { Navigate(TextOf(v)); return true; }
        return Unit::Set(p, v);
    }

private:
    void Navigate(const Text& address) {
        address_ = address;
        const Text wire = WireAddress(address);
        if (view_) {
            view_->load(QUrl::fromEncoded(QByteArray::fromStdString(wire.Bytes())));
            return;
        }
        // The sender's GET; its answer is not looked at.
        StartThread(std::function<void()>([wire] { HttpGet(wire); }));
    }

    QWidget* w_ = nullptr;
    QWebEngineView* view_ = nullptr;
    Text address_;
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

std::unique_ptr<Unit> CreateHtmlViewUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<HtmlViewUnit>(window, d);
}
std::unique_ptr<Unit> CreateHyperlinkUnit(Window* window, const QJsonObject& d) {
    return std::make_unique<HyperlinkUnit>(window, d);
}

}  // namespace orbiq::platform
