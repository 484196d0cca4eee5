// Holds a reference book open from a second process: prints "ready" once
// attached and keeps the attachment until its input closes.

#include <clocale>
#include <iostream>
#include <string>

#include "uFbClient.h"
#include "udmDB.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::setlocale(LC_ALL, "");  // as the program does (through Qt): the caller's locale
  try {
    TFbDatabase database;
    database.DatabaseName = argv[1];
    database.Params = DirectoryConnectionParams();
    database.Open();
    std::cout << "ready" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
  } catch (const std::exception& e) {
    std::cout << "failed: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
