// The choice of the display platform: XWayland on a Wayland desktop unless
// the user chose a platform or there is no X display; the variable is set
// before the application object and taken back afterwards.

#include "uDisplayPlatform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

TEST(DisplayPlatform, ChoiceByTheSession) {
  struct TCase {
    const char* Name;
    TDisplayEnvironment Environment;
    const char* Expected;
  };
  const TCase cases[] = {
      {"Wayland session with XWayland", {std::nullopt, "wayland", "wayland-0", ":0"}, "xcb"},
      {"session type alone", {std::nullopt, "wayland", "", ":1"}, "xcb"},
      {"session type in capitals", {std::nullopt, "Wayland", "", ":1"}, "xcb"},
      {"Wayland display alone", {std::nullopt, "", "wayland-1", ":0"}, "xcb"},
      {"Wayland display, session type tty", {std::nullopt, "tty", "wayland-0", ":0"}, "xcb"},
      {"user chose wayland", {"wayland", "wayland", "wayland-0", ":0"}, ""},
      {"user chose xcb", {"xcb", "wayland", "wayland-0", ":0"}, ""},
      {"user chose offscreen", {"offscreen", "wayland", "wayland-0", ":0"}, ""},
      {"empty choice is none", {"", "wayland", "wayland-0", ":0"}, "xcb"},
      {"no X display", {std::nullopt, "wayland", "wayland-0", ""}, ""},
      {"X11 session", {std::nullopt, "x11", "", ":0"}, ""},
      {"no session at all", {std::nullopt, "", "", ""}, ""},
      {"console with an X display", {std::nullopt, "tty", "", ":0"}, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ChooseQtPlatform(c.Environment), c.Expected);
  }
}

// Sets or clears environment variables for one test and puts the old
// values back afterwards.
class DisplayPlatformEnvironment : public ::testing::Test {
 protected:
  static constexpr const char* kNames[] = {"QT_QPA_PLATFORM", "XDG_SESSION_TYPE", "WAYLAND_DISPLAY",
                                           "DISPLAY"};
  void SetUp() override {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      FSaved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    ForgetPreferredPlatform();
    for (size_t i = 0; i < FSaved.size(); ++i) Set(kNames[i], FSaved[i]);
  }
  static void Set(const char* name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  static std::optional<std::string> Get(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }

 private:
  std::vector<std::optional<std::string>> FSaved;
};

TEST_F(DisplayPlatformEnvironment, SetBeforeTheApplicationAndTakenBackAfterwards) {
  Set("QT_QPA_PLATFORM", std::nullopt);
  Set("XDG_SESSION_TYPE", "wayland");
  Set("WAYLAND_DISPLAY", "wayland-0");
  Set("DISPLAY", ":0");
  EXPECT_TRUE(PreferXWayland());
  EXPECT_EQ(Get("QT_QPA_PLATFORM"), "xcb");
  ForgetPreferredPlatform();
  EXPECT_EQ(Get("QT_QPA_PLATFORM"), std::nullopt) << "programs started later choose for themselves";
}

TEST_F(DisplayPlatformEnvironment, TheUsersChoiceIsNeverTouched) {
  Set("QT_QPA_PLATFORM", "wayland");
  Set("XDG_SESSION_TYPE", "wayland");
  Set("DISPLAY", ":0");
  EXPECT_FALSE(PreferXWayland());
  ForgetPreferredPlatform();
  EXPECT_EQ(Get("QT_QPA_PLATFORM"), "wayland");

  Set("QT_QPA_PLATFORM", std::nullopt);
  Set("XDG_SESSION_TYPE", "x11");
  Set("WAYLAND_DISPLAY", std::nullopt);
  EXPECT_FALSE(PreferXWayland());
  EXPECT_EQ(Get("QT_QPA_PLATFORM"), std::nullopt);
}

}  // namespace
