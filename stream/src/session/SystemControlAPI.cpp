#include "stream/session/SystemControlAPI.h"

#include "stream/session/InputInterface.h"

using InputClient::Request;

namespace {
Request typed(Request::RequestType type) {
    Request r;
    r.set_type(type);
    return r;
}
}  // namespace

void SystemControlAPI::CmdCommand(InputClient::CmdCommand command) {
    Request r = typed(Request::SYSTEM_CMD_COMMAND);
    r.set_cmdcommand(command);
    endpoint_->send(r);
}

void SystemControlAPI::ShowDesktop() { endpoint_->send(typed(Request::SYSTEM_SHOW_DESKTOP)); }

void SystemControlAPI::UploadAndRunPython(const std::string& script) {
    Request r = typed(Request::SYSTEM_UPLOAD_AND_RUN_PYTHON);
    r.set_pythonscript(script);
    endpoint_->send(r);
}

void SystemControlAPI::ChangeWindowsUILanguage(int language) {
    Request r = typed(Request::SYSTEM_CHANGE_WINDOWS_UI_LANGUAGE);
    r.set_windowsuilanguage(language == 1   ? Request::ZN
                            : language == 2 ? Request::RU_RU
                                            : Request::EN_US);
    endpoint_->send(r);
}

void SystemControlAPI::SoftwareReset() { endpoint_->send(typed(Request::SYSTEM_SOFTWARE_RESET)); }

void SystemControlAPI::DebugCrashStreamer() { endpoint_->send(typed(Request::DEBUG_CRASH_STREAMER)); }
