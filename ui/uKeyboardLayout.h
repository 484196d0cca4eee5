#pragma once
// The keyboard-layout switch around clipboard writes. Desktops here have no
// per-program layouts to switch, so the switch does nothing; the interface
// keeps the place where a platform that needs it would act.

#include <string>

class TKeyboardLayoutSwitch {
 public:
  // Remembers the active layout and activates the one given (for example
  // "00000419", Russian); the remembered one comes back at scope end, on
  // every path.
  explicit TKeyboardLayoutSwitch(const std::string& layoutId);
  ~TKeyboardLayoutSwitch();
  TKeyboardLayoutSwitch(const TKeyboardLayoutSwitch&) = delete;
  TKeyboardLayoutSwitch& operator=(const TKeyboardLayoutSwitch&) = delete;
};

inline constexpr const char* kRussianLayout = "00000419";
