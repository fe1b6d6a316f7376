#include "platform/ui/language.h"

#include <QCoreApplication>
#include <QGuiApplication>
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
    QGuiApplication::setApplicationDisplayName(QString::fromUtf8("ORBIQ网络电视"));
}

}  // namespace orbiq::platform
