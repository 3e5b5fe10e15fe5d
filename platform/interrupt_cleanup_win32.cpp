// Windows interrupt cleanup: a console control handler (Ctrl+C, Ctrl+Break,
// closing the console window, logoff, shutdown) removes the private temporary
// folder with everything in it before the process ends. The handler runs on a
// thread of its own, not inside a signal, so it may allocate. Pending files need nothing:
// they are marked for deletion until published, and Windows removes them when
// the ending process's handles close.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "platform/cleanup_registry_win32.h"
#include "platform/interrupt_cleanup.h"
#include "platform/win32_paths.h"

namespace vantelo::platform {
namespace {

// The private folder's long path; empty until PrivateTempDir makes it.
std::wstring g_privateFolder;

// Folders below the private one are removed down to this depth; the program
// makes only drag-N\ and drag-N\K\ there, so a deeper tree is not its own.
constexpr int kMaxDepth = 16;

// Removes what the folder holds: files deleted, folders emptied the same way
// and removed. A reparse point (a junction, a link) is removed itself and
// never entered, so nothing outside the folder is touched.
void EmptyFolder(const std::wstring& folder, int depth) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      ::DeleteFileW(path.c_str());
      continue;
    }
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && depth > 0)
      EmptyFolder(path, depth - 1);
    ::RemoveDirectoryW(path.c_str());
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

void RemovePrivateFolder() {
  if (g_privateFolder.empty()) return;
  EmptyFolder(g_privateFolder, kMaxDepth);
  ::RemoveDirectoryW(g_privateFolder.c_str());
}

BOOL WINAPI OnConsoleControl(DWORD) {
  RemovePrivateFolder();
  return FALSE;  // then the usual handling: the process ends
}

}  // namespace

namespace win32 {
void RegisterPrivateFolder(const std::string& path) {
  std::wstring full = LongPath(path);
  while (!full.empty() && full.back() == L'\\') full.pop_back();
  g_privateFolder = full;
}
}  // namespace win32

void InstallInterruptCleanup() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

}  // namespace vantelo::platform
