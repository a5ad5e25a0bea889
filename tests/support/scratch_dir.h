// A fresh directory per test, removed with everything in it when the test ends, and small
// file helpers for tests that need the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kesh::test {

class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the directory.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Changes the current directory for the lifetime of the object.
class CurrentDir {
  public:
    explicit CurrentDir(const std::string& path);
    ~CurrentDir();
    CurrentDir(const CurrentDir&) = delete;
    CurrentDir& operator=(const CurrentDir&) = delete;

  private:
    std::string previous_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
// The names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDir(const std::string& path);

}  // namespace kesh::test
