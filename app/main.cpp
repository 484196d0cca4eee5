#include <exception>
#include <iostream>

#include "uDisplayPlatform.h"
#include "uGlobals.h"
#include "uStartup.h"

int main(int argc, char** argv) {
  try {
    // Before the application object exists: it reads the choice once.
    PreferXWayland();
    return RunProgram(argc, argv, RunningProgramFile());
  } catch (const std::exception& error) {
    std::cerr << "zorvana-directory: " << error.what() << std::endl;
  } catch (...) {
    std::cerr << "zorvana-directory: неизвестная ошибка" << std::endl;
  }
  return 1;
}
