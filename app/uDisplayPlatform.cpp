#include "uDisplayPlatform.h"

#include <cstdlib>

#include "uText.h"

namespace {

bool gPlatformPreferred = false;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool IsWaylandSession(const TDisplayEnvironment& environment) {
  return Utf8ToLower(environment.SessionType) == "wayland" || !environment.WaylandDisplay.empty();
}

}  // namespace

std::string ChooseQtPlatform(const TDisplayEnvironment& environment) {
  // An empty value is no choice: Qt ignores it too.
  if (environment.QtPlatform && !environment.QtPlatform->empty()) return "";
  if (!IsWaylandSession(environment)) return "";
  // Without an X display there is no XWayland to run on.
  if (environment.X11Display.empty()) return "";
  return "xcb";
}

TDisplayEnvironment CurrentDisplayEnvironment() {
  TDisplayEnvironment environment;
  if (const char* platform = std::getenv("QT_QPA_PLATFORM")) environment.QtPlatform = platform;
  environment.SessionType = Variable("XDG_SESSION_TYPE");
  environment.WaylandDisplay = Variable("WAYLAND_DISPLAY");
  environment.X11Display = Variable("DISPLAY");
  return environment;
}

bool PreferXWayland() {
  const std::string platform = ChooseQtPlatform(CurrentDisplayEnvironment());
  if (platform.empty()) return false;
  gPlatformPreferred = ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1) == 0;
  return gPlatformPreferred;
}

void ForgetPreferredPlatform() {
  if (!gPlatformPreferred) return;
  ::unsetenv("QT_QPA_PLATFORM");
  gPlatformPreferred = false;
}
