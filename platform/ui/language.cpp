#include "platform/ui/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace orbiq::platform {

void UseChineseInterface() {
    // Files by name, not by the user's locale: Qt's dialogs and menus speak the program's language.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qtbase_zh_CN", "qtwebengine_zh_CN"}) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QString::fromLatin1(catalogue), folder)) QCoreApplication::installTranslator(translator);
        else delete translator;
    }
    // A window with no title of its own is shown by the program's name. The name, not the display
    // name: Qt appends a display name to every title ("警告 — ..."), and the titles are the system's.
    QCoreApplication::setApplicationName(QString::fromUtf8("ORBIQ网络电视"));
}

}  // namespace orbiq::platform
