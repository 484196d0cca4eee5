#pragma once
// Which of Qt's display platforms the program runs on. On a Wayland desktop
// a window may neither place itself nor stay above other windows, and the
// main window does both; so there the program runs on X11 through XWayland,
// unless the user has chosen a platform (QT_QPA_PLATFORM) or no X display
// is at hand. Decided before the application object exists.

#include <optional>
#include <string>

// The environment the decision reads.
struct TDisplayEnvironment {
  std::optional<std::string> QtPlatform;  // QT_QPA_PLATFORM; nullopt when unset
  std::string SessionType;                // XDG_SESSION_TYPE
  std::string WaylandDisplay;             // WAYLAND_DISPLAY
  std::string X11Display;                 // DISPLAY
};

// The platform to ask Qt for ("xcb"), or empty to leave the choice to Qt.
std::string ChooseQtPlatform(const TDisplayEnvironment& environment);

TDisplayEnvironment CurrentDisplayEnvironment();

// Sets QT_QPA_PLATFORM to the chosen platform; true when it set it.
bool PreferXWayland();
// Removes QT_QPA_PLATFORM again when PreferXWayland set it, once the
// application object has read it: the browser or mail program that the
// program starts for a link then makes its own choice.
void ForgetPreferredPlatform();
