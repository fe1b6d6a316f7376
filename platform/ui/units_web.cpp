// Unit types that show web content: the HTML view and the hyperlink box.
// A shown HTML view is a browser on Qt WebEngine, from the web view module loaded when the
// first one is made: its page loads with pictures, style sheets and scripts, and a page that
// fails shows the engine's own error page. A view stored hidden only sends: its navigation is
// the plain GET of the same request line, with no page kept.
#include "platform/ui/units_internal.h"

#include <QLabel>
#include <QLibrary>
#include <QMouseEvent>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "common/files.h"
#include "common/percent_encoding.h"
#include "platform/net/http_get.h"
#include "platform/ui/program.h"
#include "platform/ui/web_view_module.h"

namespace orbiq::platform {
namespace {

// Bytes that cannot stand in a request line as they are; "%" and the URL's own
// delimiters are left alone, so an address that is already encoded keeps its meaning.
Text WireAddress(const Text& address) {
    return Text(PercentEncode(address.Bytes(), [](unsigned char c) {
        return c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
               c == '{' || c == '|' || c == '}';
    }));
}

std::string ModulePath() { return BesideProgram("liborbiq_web_view.so", R_OK); }

// Loaded once, on the UI thread, and kept to the end; null when it cannot be had.
const WebViewModule* Module() {
    static const WebViewModule* module = []() -> const WebViewModule* {
        QLibrary library(QString::fromStdString(ModulePath()));
        using Entry = const WebViewModule* (*)();
        auto entry = reinterpret_cast<Entry>(library.resolve(kWebViewModuleEntry));
        const WebViewModule* m = entry ? entry() : nullptr;
        if (!m || m->version != kWebViewModuleVersion) {
            std::fprintf(stderr, "orbiq: no web view module (%s)\n", library.errorString().toLocal8Bit().constData());
            return nullptr;
        }
        return m;
    }();
    return module;
}

void OpenLinkInBrowser(const char* address) { OpenInBrowser(Text(address)); }

class HtmlViewUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return w_; }
    void Build(QWidget* parent) override {
        shown_ = description_.value("visible").toBool(true);
        const WebViewModule* module = shown_ ? Module() : nullptr;
        if (module) {
            // A link that the page opens in a new window goes to the default browser.
            w_ = module->create(parent, &OpenLinkInBrowser);
            module_ = module;
        } else {
            w_ = new QWidget(parent);  // the sender, or an empty view when the module is missing
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
        if (module_) {
            module_->load(w_, wire.Bytes().c_str());
            return;
        }
        if (shown_) return;
        // The sender's GET; its answer is not looked at.
        StartThread(std::function<void()>([wire] { HttpGet(wire); }));
    }

    QWidget* w_ = nullptr;
    const WebViewModule* module_ = nullptr;
    bool shown_ = true;
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
