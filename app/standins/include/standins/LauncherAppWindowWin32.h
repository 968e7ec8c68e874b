#pragma once
// The launcher's main window as start-up sees it. Its sign-in screens join later; until
// then it shows an empty client area.

#include <string>

#include "shell/GLFWAppWindow.h"

class LauncherAppWindowWin32 : public GLFWAppMainWindow {
public:
    void Command(int id) override;
};

// The launcher window's title: the language text "text_title".
std::string text_title();
