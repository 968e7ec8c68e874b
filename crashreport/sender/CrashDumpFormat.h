#pragma once
// crashdump.bin, the sender's binary record of the crashed process: the magic "NCDB", a
// uint32 format version, then sections of a 4-letter tag, a uint32 length and that many
// bytes. Numbers are little-endian.
//
//   INFO  uint32 pid, uint32 crashed thread, int32 report type, uint32 exception code,
//         uint32 signal, int32 signal code, uint64 fault address, uint32 context flags
//   REGS  uint64 registers of the crashed thread at the fault, in <sys/ucontext.h> order
//   FPRG  the 512-byte floating-point state of the crashed thread (when it was saved)
//   BTRC  uint64 return addresses of the crashed thread, innermost first
//   MAPS  the text of /proc/<pid>/maps
//   THRD  per thread: uint32 id, uint32 name length, the name, one state letter, uint32
//         register count, uint64 registers (struct user_regs_struct order; 0 registers when
//         the thread could not be stopped)
//   STAK  uint64 address, then the bytes of the crashed thread's stack from its stack pointer

#include <cstdint>

namespace crashdump {
constexpr char kMagic[4] = {'N', 'C', 'D', 'B'};
constexpr std::uint32_t kVersion = 1;
}  // namespace crashdump
