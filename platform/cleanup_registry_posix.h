// Internal to the POSIX platform files: what the interrupt handler removes.
// Every function here is safe to call while a signal handler may run; the
// handler side (RemoveRegisteredFiles) uses only async-signal-safe calls.
#pragma once

namespace vantelo::platform::posix {

// A hidden temporary name in the folder opened as folderFd. False when the
// table is full (the name then cannot be cleaned up on interrupt).
bool RegisterTempName(int folderFd, const char* name);
void UnregisterTempName(int folderFd, const char* name);
// Brackets the making of a file under a registered name. Files are made on
// several threads while the handler may run on another: once the handler has
// begun no new one is made (Allowed() is false), and it waits a moment for
// the ones being made before it removes the names.
class TempFileMaking {
 public:
  TempFileMaking();
  ~TempFileMaking();
  TempFileMaking(const TempFileMaking&) = delete;
  TempFileMaking& operator=(const TempFileMaking&) = delete;
  bool Allowed() const { return allowed_; }

 private:
  bool allowed_;
};
// The private temporary folder (absolute path, with or without a trailing '/').
void RegisterPrivateFolder(const char* path);
// Removes every registered name and the private folder's files and the folder.
void RemoveRegisteredFiles();

}  // namespace vantelo::platform::posix
