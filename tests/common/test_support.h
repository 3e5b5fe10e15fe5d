// Helpers shared by the test suites: fixture paths, temporary folders, files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantelo::test {

// Path of a fixture in tests/data.
std::string DataPath(const std::string& name);
// A stored name as the engine shows it in messages: "/" becomes the native separator.
std::string NativePath(std::string path);
// Path of a built program (vantelo-cli, vantelo) in the build folder.
std::string BinaryPath(const std::string& name);

// Appends a 16- or 32-bit little-endian field (the ZIP format's) to out.
inline void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A fresh folder below the system's temporary folder, removed with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // The folder with a trailing separator, as the engine takes destinations.
  std::string dir() const { return path_.string() + "/"; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Makes a symbolic link at link to target (a folder when folder is true); false
// when this system cannot make one.
bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link, bool folder);

#ifdef _WIN32
// The number of handles this process holds open.
std::size_t OpenHandleCount();
#endif

// Runs a shell command; returns its exit status and fills the output (stdout) if given.
int RunCommand(const std::string& command, std::string* output = nullptr);

// Every regular file below root, as paths relative to it with "/" between
// levels, sorted.
std::vector<std::string> ListFiles(const std::filesystem::path& root);

}  // namespace vantelo::test
