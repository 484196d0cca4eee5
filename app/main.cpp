#include "uGlobals.h"
#include "uStartup.h"

int main(int argc, char** argv) { return RunProgram(argc, argv, RunningProgramFile()); }
