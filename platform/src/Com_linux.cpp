#include "platform/Com.h"

namespace platform {

namespace {
// Per thread: how many initialisations are open and in which threading mode.
thread_local int t_count = 0;
thread_local bool t_apartment = false;
}  // namespace

HRESULT CoInitializeEx(void*, unsigned flags) {
    const bool apartment = (flags & COINIT_APARTMENTTHREADED) != 0;
    if (t_count > 0 && apartment != t_apartment) return RPC_E_CHANGED_MODE;
    t_apartment = apartment;
    return t_count++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_count > 0) --t_count;
}

}  // namespace platform
