#pragma once
// Settings the web client reads from the program's settings store.
//
// Until the shared settings store is available to this library, values live in a small
// process-wide map that tests fill through setWebApiSetting.

#include <string>

std::string getWebApiSetting(const std::string& key, const std::string& defaultValue);
void setWebApiSetting(const std::string& key, const std::string& value);
