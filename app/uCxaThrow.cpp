// Our own __cxa_throw: every C++ throw in the process (the program, Qt,
// libstdc++, other threads) passes through here before unwinding starts, so
// the crash report sees the raising point before any handler runs. It lives
// in a file of its own because g++ declares __cxa_throw implicitly wherever
// a throw is compiled.

#include <cxxabi.h>
#include <dlfcn.h>

#include "uDebug.h"

// Referenced by uDebug.cpp so that linking the unit always pulls this object
// (and with it the interposer) into the program.
extern const int kCxaThrowInterposed = 1;

namespace __cxxabiv1 {

extern "C" void __cxa_throw(void* thrownException, std::type_info* type, void (*destructor)(void*)) {
  using TRealThrow = void (*)(void*, std::type_info*, void (*)(void*));
  static const TRealThrow realThrow = reinterpret_cast<TRealThrow>(dlsym(RTLD_NEXT, "__cxa_throw"));
  DebugOnThrow(thrownException, __builtin_return_address(0));
  realThrow(thrownException, type, destructor);
  __builtin_unreachable();
}

}  // namespace __cxxabiv1
