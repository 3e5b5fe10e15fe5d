// Windows interrupt cleanup: a console control handler (Ctrl+C, Ctrl+Break,
// closing the console window, logoff, shutdown) removes the private temporary
// folder with its files before the process ends. Pending files need nothing:
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

void RemovePrivateFolder() {
  if (g_privateFolder.empty()) return;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((g_privateFolder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        ::DeleteFileW((g_privateFolder + L"\\" + found.cFileName).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
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
