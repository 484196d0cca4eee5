#include "uKeyboardLayout.h"

TKeyboardLayoutSwitch::TKeyboardLayoutSwitch(const std::string&) {}
TKeyboardLayoutSwitch::~TKeyboardLayoutSwitch() = default;
