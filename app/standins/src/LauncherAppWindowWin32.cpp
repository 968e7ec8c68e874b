#include "standins/LauncherAppWindowWin32.h"

#include "core/LanguageStore.h"
#include "core/LogLine.h"

void LauncherAppWindowWin32::Command(int id) {
    NIMBROSTA_LOG(0, "LauncherAppWindowWin32::Command") << "command " << id;
}

std::string text_title() { return LanguageStore::instance().text("text_title"); }
