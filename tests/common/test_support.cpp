#include "common/test_support.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace vantelo::test {

std::string DataPath(const std::string& name) { return std::string(VANTELO_TEST_DATA) + "/" + name; }

std::string NativePath(std::string path) {
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  return path;
}

std::string BinaryPath(const std::string& name) {
#ifdef _WIN32
  // The first word of a cmd.exe command line: a full path with backslashes.
  return std::filesystem::absolute(std::filesystem::path(VANTELO_BINARY_DIR) / name)
      .make_preferred()
      .string();
#else
  return std::string(VANTELO_BINARY_DIR) + "/" + name;
#endif
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempFolder::TempFolder() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (;;) {
    path_ = std::filesystem::temp_directory_path() /
            ("vantelo-test-" + std::to_string(random() % 1000000000ull));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

#ifdef _WIN32
namespace {
// Wine cannot make Windows links, but shows a Unix symbolic link as one: under
// Wine the link is made by starting the Unix ln.
bool MakeUnixLinkUnderWine(const std::filesystem::path& target, const std::filesystem::path& link) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!unixName) return false;
  std::wstring command = L"/bin/ln -s";
  for (const auto& p : {target, link}) {
    char* name = unixName(std::filesystem::absolute(p).wstring().c_str());
    if (!name) return false;
    const std::string text(name);
    ::HeapFree(::GetProcessHeap(), 0, name);
    command += L" \"" + std::wstring(text.begin(), text.end()) + L"\"";
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
    return false;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 300; ++i) {  // the Unix process cannot be waited for
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(link.wstring().c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      ::FindClose(search);
      return true;
    }
    ::Sleep(10);
  }
  return false;
}
}  // namespace

bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link, bool folder) {
  std::error_code error;
  if (folder)
    std::filesystem::create_directory_symlink(target, link, error);
  else
    std::filesystem::create_symlink(target, link, error);
  return !error || MakeUnixLinkUnderWine(target, link);
}

std::size_t OpenHandleCount() {
  DWORD count = 0;
  ::GetProcessHandleCount(::GetCurrentProcess(), &count);
  return count;
}

namespace {
// The suites write commands for a POSIX shell; cmd.exe quotes with double
// quotes and calls the null device NUL. Nothing else they use differs.
std::string ForCmd(const std::string& command) {
  std::string out;
  for (std::size_t i = 0; i < command.size(); ++i) {
    if (command[i] == '\'') {
      out += '"';
    } else if (command.compare(i, 9, "/dev/null") == 0) {
      out += "NUL";
      i += 8;
    } else {
      out += command[i];
    }
  }
  return out;
}
}  // namespace

int RunCommand(const std::string& command, std::string* output) {
  // Wide, so that names beyond ASCII reach the program as they are.
  const std::string forCmd = ForCmd(command);
  const std::wstring wide = std::filesystem::path(std::u8string(forCmd.begin(), forCmd.end())).wstring();
  FILE* pipe = ::_wpopen(wide.c_str(), L"rb");
  if (!pipe) return -1;
  std::array<char, 4096> chunk{};
  std::string text;
  std::size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) text.append(chunk.data(), n);
  const int status = ::_pclose(pipe);
  if (output) *output = text;
  return status;
}
#else
bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link, bool folder) {
  if (folder)
    std::filesystem::create_directory_symlink(target, link);
  else
    std::filesystem::create_symlink(target, link);
  return true;
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> chunk{};
  std::string text;
  std::size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) text.append(chunk.data(), n);
  const int status = ::pclose(pipe);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

std::vector<std::string> ListFiles(const std::filesystem::path& root) {
  std::vector<std::string> files;
#ifdef _WIN32
  // Listed in the long form, so that paths past 260 characters are found too.
  const std::wstring top = L"\\\\?\\" + std::filesystem::absolute(root).make_preferred().wstring();
  for (const auto& e : std::filesystem::recursive_directory_iterator(top)) {
    if (!e.is_regular_file()) continue;
    const std::u8string rel = std::filesystem::path(e.path().wstring().substr(top.size() + 1)).generic_u8string();
    files.emplace_back(rel.begin(), rel.end());
  }
#else
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (e.is_regular_file())
      files.push_back(std::filesystem::relative(e.path(), root).generic_string());
#endif
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace vantelo::test
