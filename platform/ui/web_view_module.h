// The browser behind a shown HTML view lives in a module of its own (orbiq_web_view), loaded
// when the first such view is made: the program neither links nor starts the web engine
// before a page is shown. This is the one entry the module exports.
#pragma once

class QWidget;

namespace orbiq::platform {

struct WebViewModule {
    int version;
    // A browser view inside parent. A link that a page opens in a new window is handed to
    // openLink (its encoded address) instead.
    QWidget* (*create)(QWidget* parent, void (*openLink)(const char* address));
    // Loads an address in its encoded form.
    void (*load)(QWidget* view, const char* encodedAddress);
};

inline constexpr int kWebViewModuleVersion = 1;
inline constexpr char kWebViewModuleEntry[] = "orbiq_web_view_module";

}  // namespace orbiq::platform

extern "C" const orbiq::platform::WebViewModule* orbiq_web_view_module();
