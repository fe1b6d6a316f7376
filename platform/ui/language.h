// The interface language: every text the program shows is Chinese, Qt's own texts included.
#pragma once

namespace orbiq::platform {

// Loads Qt's Chinese translations (the widgets' and the web engine's) whatever the locale, and
// names the program by the product's name where the desktop shows it (windows with no title).
// Call once, after the application object exists.
void UseChineseInterface();

}  // namespace orbiq::platform
