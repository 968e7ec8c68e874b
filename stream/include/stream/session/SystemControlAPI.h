#pragma once
// Commands for the remote machine: start or end programs, show the desktop, run a script,
// change the interface language, reset.

#include <string>

#include "input-lib/InputClient.pb.h"
#include "stream/control/InputInterfaceAPIBase.h"

class SystemControlAPI : public InputInterfaceAPIBase {
public:
    using InputInterfaceAPIBase::InputInterfaceAPIBase;

    void LaunchSteamBigPictureMode() { CmdCommand(InputClient::LAUNCH_STEAM_BIG_PICTURE_MODE); }
    void LaunchTaskmgr() { CmdCommand(InputClient::LAUNCH_TASKMGR); }
    void LaunchCmd() { CmdCommand(InputClient::LAUNCH_CMD); }
    void LaunchSteam() { CmdCommand(InputClient::LAUNCH_STEAM); }
    void ResetNvidiaDevices() { CmdCommand(InputClient::LAUNCH_RESET_NVIDIA_DEVICES); }
    void LaunchOverlay() { CmdCommand(InputClient::LAUNCH_OVERLAY); }
    void KillExplorer() { CmdCommand(InputClient::KILL_EXPLORER); }
    void KillSteam() { CmdCommand(InputClient::KILL_STEAM); }
    void LaunchKeyboardCpl() { CmdCommand(InputClient::LAUNCH_KEYBOARD_CPL); }
    void LaunchRegedit() { CmdCommand(InputClient::LAUNCH_REGEDIT); }
    void CmdCommand(InputClient::CmdCommand command);

    void ShowDesktop();
    void UploadAndRunPython(const std::string& script);
    // 1 Chinese, 2 Russian, anything else English (US).
    void ChangeWindowsUILanguage(int language);
    void SoftwareReset();
    void DebugCrashStreamer();
};
