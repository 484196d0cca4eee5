#pragma once
// A small Russian sample reference book for a new database file.

#include <string>
#include <vector>

struct TSampleEntry {
  std::string Title;
  std::string Description;
  std::vector<TSampleEntry> Childs;  // a folder when it has any, or IsFolder
  bool IsFolder = false;
};

const std::vector<TSampleEntry>& SampleBook();
