#pragma once
// Result codes and the per-thread apartment set-up of the component model that the firewall
// calls are written against. Linux has no such model: the apartment calls only keep the
// per-thread bookkeeping (so a second initialisation in another mode is refused as it would
// be there), and the codes are the same 32-bit values.

#include <cstdint>

namespace platform {

using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);

constexpr unsigned COINIT_MULTITHREADED = 0x0;
constexpr unsigned COINIT_APARTMENTTHREADED = 0x2;
constexpr unsigned COINIT_DISABLE_OLE1DDE = 0x4;

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

// The calling thread's first call gives S_OK, later calls in the same threading mode S_FALSE
// (each to be balanced by CoUninitialize), a call in the other mode RPC_E_CHANGED_MODE.
HRESULT CoInitializeEx(void* reserved, unsigned flags);
// Ends one successful CoInitializeEx of the calling thread.
void CoUninitialize();

}  // namespace platform
