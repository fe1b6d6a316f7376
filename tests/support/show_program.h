// What every screenshot program sets up first: libcurl, the application on the platform it
// is started with, the unit backend and a program folder of its own.
#pragma once

#include <QApplication>
#include <QTemporaryDir>

#include <clocale>

#include "platform/net/http_get.h"
#include "common/text.h"
#include "platform/ui/language.h"
#include "platform/ui/program.h"
#include "platform/ui/ui.h"

namespace orbiq::test {

class ShowProgram {
public:
    ShowProgram(int& argc, char** argv) : app_((platform::EnsureCurlGlobal(), argc), argv) {
        std::setlocale(LC_NUMERIC, "C");
        QApplication::setQuitOnLastWindowClosed(false);
        platform::UseChineseInterface();
        platform::InstallUnitBackend();
        platform::SetProgramFolder(Text::FromUtf8(folder_.path().toStdString()));
    }
    QApplication& app() { return app_; }
    QTemporaryDir& folder() { return folder_; }

private:
    QApplication app_;
    QTemporaryDir folder_;
};

}  // namespace orbiq::test
