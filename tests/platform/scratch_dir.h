// Scratch folders and whole-file reads shared by the tests.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace dorvik::test_util {

// A fresh folder of its own under the temp folder, removed with the object.
class ScratchDir {
 public:
  ScratchDir() {
    std::string name = (std::filesystem::temp_directory_path() / "dorvik-test-XXXXXX").string();
    path_ = ::mkdtemp(name.data());
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& relative) const { return path_ + "/" + relative; }
  // Writes the text to a file of the folder (making its sub folders); returns the file's path.
  std::string Write(const std::string& relative, const std::string& text) const {
    const std::string path = File(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

 private:
  std::string path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace dorvik::test_util
