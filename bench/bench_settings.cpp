// bench_settings: what the settings file costs at start (LoadSettings) and
// at exit (SaveSettings) when other software has filled it.
//
// Writes settings files into a temporary folder beside a fake program file:
// a [Main] section of N key lines with the four settings after them (UTF-8
// and Windows-1251), and a file of 50 MB, past the size limit, which start
// and exit must leave alone without delay. Prints wall times, best of the
// runs; the figures decide nothing.
//
//   bench_settings [--runs N]   (default 3)

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "BenchFloor.h"
#include "uGlobals.h"
#include "uText.h"

namespace {

struct TSettingsCase {
  std::string Name;
  std::string Bytes;
};

std::string LongMainSection(int lines, bool win1251) {
  std::string text = "[Main]\r\n";
  for (int i = 0; i < lines; ++i) text += "Ключ" + std::to_string(i) + "=значение " + std::to_string(i) + "\r\n";
  text += "FontSize=12\r\nIsFirstStart=0\r\n";
  return win1251 ? Utf8ToWin1251(text) : text;
}

std::string FiftyMegabytes() {
  std::string text = "[Main]\r\nFontSize=12\r\n";
  const std::string line = "Key=" + std::string(95, 'v') + "\r\n";
  while (text.size() < 50u * 1024 * 1024) text += line;
  return text;
}

void Write(const std::string& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
  }
  bench::TTempFolder folder("bench_settings");
  const std::string program = folder.Path() + "/zorvana-directory";
  const std::string settings = program + ".ini";

  const std::vector<TSettingsCase> cases = {
      {"40,000 lines, UTF-8", LongMainSection(40000, false)},
      {"40,000 lines, Windows-1251", LongMainSection(40000, true)},
      {"50 MB", FiftyMegabytes()},
  };
  std::printf("load average %s\n", bench::LoadAverage().c_str());
  std::printf("%-28s %12s %10s %10s  %s\n", "settings file", "bytes", "start (s)", "exit (s)", "read");
  for (const TSettingsCase& c : cases) {
    double bestLoad = 1e9, bestSave = 1e9;
    bool read = false;
    for (int run = 0; run < runs; ++run) {
      Write(settings, c.Bytes);
      ResetGlobals();
      ComputeLocations(program);
      bench::TStopwatch watch;
      LoadSettings();
      bestLoad = std::min(bestLoad, watch.Seconds());
      read = Globals().FontSize == 12 && Globals().SettingsWarning.empty();
      Globals().IsFirstStart = true;
      watch.Restart();
      SaveSettings();
      bestSave = std::min(bestSave, watch.Seconds());
    }
    std::printf("%-28s %12zu %10.3f %10.3f  %s\n", c.Name.c_str(), c.Bytes.size(), bestLoad, bestSave,
                read ? "yes" : "no (too large; left as it was)");
  }
  ResetGlobals();
  return 0;
}
