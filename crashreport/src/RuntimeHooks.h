#pragma once
// Stand-ins for the runtime error callbacks that have no system form here: a pure virtual
// call (our own __cxa_pure_virtual, which the linker prefers to the C++ library's) and an
// invalid parameter (crashreport::invalidParameter). Each runs the handler set here, then
// ends the process as the runtime would.

namespace crashreport {

using PurecallHandler = void (*)();
using InvalidParameterHandler = void (*)(const wchar_t* expression, const wchar_t* function,
                                         const wchar_t* file, unsigned line);

// Each returns the handler it replaces.
PurecallHandler setPurecallHandler(PurecallHandler handler);
InvalidParameterHandler setInvalidParameterHandler(InvalidParameterHandler handler);

}  // namespace crashreport
