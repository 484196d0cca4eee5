#pragma once
// A fresh folder per test, removed with everything in it afterwards.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

class TTempDir {
 public:
  TTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorvana-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    FPath = pattern + "/";
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // The folder, with a trailing "/".
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& relative) const { return FPath + relative; }

  void Write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(File(relative)).parent_path());
    std::ofstream(File(relative), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(File(relative), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool Exists(const std::string& relative) const {
    return std::filesystem::exists(File(relative));
  }

 private:
  std::string FPath;
};
