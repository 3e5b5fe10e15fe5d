// Windows implementation of destination.h.
//
// Every folder level is opened with FILE_FLAG_OPEN_REPARSE_POINT, so a symbolic
// link or junction is opened itself and recognised by its attribute instead of
// being entered; the handle stays open without FILE_SHARE_DELETE, so the level
// cannot be renamed, removed or swapped for a link while files are made in it
// by full path (the folder cache keeps the levels of a run open). A pending
// file is marked for deletion as soon as it is made: should the process end
// before it is published, Windows removes it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/destination.h"
#include "platform/win32_paths.h"
#include "platform/win32_text.h"

namespace vantelo::platform {
namespace {

// An open folder and its full path (without the long-path prefix).
struct Folder {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::wstring path;
};

Folder* Get(FolderHandle folder) { return reinterpret_cast<Folder*>(folder); }
HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

std::wstring Child(const Folder& folder, const std::wstring& name) {
  std::wstring path = folder.path;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path + name;
}

std::wstring Child(const Folder& folder, const std::string& name) {
  return Child(folder, Utf8ToWide(name));
}

// Opens a folder level without following a link at it; the caller checks what
// it got. Others may read and write in it, but not rename or remove it.
HANDLE OpenLevel(const std::wstring& path, DWORD extraFlags) {
  return ::CreateFileW(win32::LongPath(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr);
}

FolderHandle Wrap(HANDLE handle, std::wstring path) {
  auto* folder = new Folder{handle, std::move(path)};
  return reinterpret_cast<FolderHandle>(folder);
}

NameKind KindOfAttributes(DWORD attributes) {
  if (attributes == INVALID_FILE_ATTRIBUTES) return NameKind::Nothing;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return NameKind::Link;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NameKind::Folder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return NameKind::Other;
  return NameKind::File;
}

bool SetDeleteOnClose(FileHandle file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return ::SetFileInformationByHandle(Native(file), FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// Renames the open file to target (a full path), replacing a file or link
// there when replace is true; never a folder.
bool RenameOpenFile(FileHandle file, const std::wstring& target, bool replace) {
  const std::wstring longTarget = win32::LongPath(target);
  const std::size_t nameBytes = longTarget.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, longTarget.data(), nameBytes);
  return ::SetFileInformationByHandle(Native(file), FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

std::string TempName() {
  static std::atomic<std::uint32_t> counter{0};  // pending files are made on several threads
  const std::uint32_t mix = (TickCount() * 2654435761u) ^ (++counter * 40503u) ^
                            (static_cast<std::uint32_t>(::GetCurrentProcessId()) << 16);
  char name[32];
  std::snprintf(name, sizeof name, ".vantelo-%08x.tmp", static_cast<unsigned>(mix));
  return name;
}

}  // namespace

FolderHandle OpenDestination(const std::string& path, bool create) {
  std::wstring full;
  if (path.empty()) {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    full.resize(needed);
    full.resize(::GetCurrentDirectoryW(needed, full.data()));
  } else {
    if (create && !CreateDirectories(path)) return kNoFolder;
    full = win32::FullPath(path);
  }
  if (full.empty()) return kNoFolder;
  // The destination itself may be a link (the user's choice): it is followed.
  const HANDLE handle = OpenLevel(full, 0);
  if (handle == INVALID_HANDLE_VALUE) return kNoFolder;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(handle);
    return kNoFolder;
  }
  // Files are made below the folder the handle holds, wherever a link led.
  wchar_t finalPath[32768];
  const DWORD length = ::GetFinalPathNameByHandleW(handle, finalPath, 32768, FILE_NAME_NORMALIZED);
  if (length > 0 && length < 32768) full = win32::WithoutLongPrefix(std::wstring(finalPath, length));
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return Wrap(handle, std::move(full));
}

void CloseFolder(FolderHandle folder) {
  if (folder == kNoFolder) return;
  Folder* f = Get(folder);
  ::CloseHandle(f->handle);
  delete f;
}

FolderResult OpenFolderLevel(FolderHandle parent, const std::string& name, bool create,
                             bool /*parentIsNew*/, bool& made, FolderHandle& folder) {
  folder = kNoFolder;
  made = false;
  // The parent's handle stays open (the caller's or the folder cache's) while
  // this level is made and opened, so the parent cannot change meanwhile.
  const std::wstring next = Child(*Get(parent), name);
  if (create) {
    if (::CreateDirectoryW(win32::LongPath(next).c_str(), nullptr)) {
      made = true;
    } else if (::GetLastError() != ERROR_ALREADY_EXISTS) {
      return FolderResult::Failed;
    }
  }
  const HANDLE handle = OpenLevel(next, FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) {
    // Missing or a plain file in the way: a folder that cannot be made.
    const NameKind kind = KindOfAttributes(::GetFileAttributesW(win32::LongPath(next).c_str()));
    return kind == NameKind::Nothing || kind == NameKind::File ? FolderResult::Failed
                                                               : FolderResult::Unsafe;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    ::CloseHandle(handle);
    return FolderResult::Failed;
  }
  // A symbolic link or junction is not gone through, whatever it points at.
  // Asked by name too: Wine reports a link as such only there.
  const DWORD byName = ::GetFileAttributesW(win32::LongPath(next).c_str());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      (byName != INVALID_FILE_ATTRIBUTES && (byName & FILE_ATTRIBUTE_REPARSE_POINT))) {
    ::CloseHandle(handle);
    return FolderResult::Unsafe;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(handle);
    return FolderResult::Failed;
  }
  folder = Wrap(handle, next);
  return FolderResult::Opened;
}

// Files are made by full path here, so every level is opened and held on its own.
bool OpenFolderPath(FolderHandle, const std::string&, FolderHandle& folder) {
  folder = kNoFolder;
  return false;
}

NameKind KindAt(FolderHandle folder, const std::string& name) {
  return KindOfAttributes(::GetFileAttributesW(win32::LongPath(Child(*Get(folder), name)).c_str()));
}

bool CreatePendingFile(FolderHandle folder, PendingFile& pending) {
  pending = PendingFile{};
  pending.home = folder;
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string name = TempName();
    const HANDLE file = ::CreateFileW(
        win32::LongPath(Child(*Get(folder), name)).c_str(), GENERIC_WRITE | DELETE,
        FILE_SHARE_READ, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      pending.file = reinterpret_cast<FileHandle>(file);
      pending.tempName = std::move(name);
      // Gone with the process unless published.
      SetDeleteOnClose(pending.file, true);
      return true;
    }
    // Anything but a name clash (a read-only folder, no space) will not go away.
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

PublishResult PublishPendingFile(FolderHandle folder, PendingFile& pending,
                                 const std::string& name, bool replace) {
  const std::wstring target = Child(*Get(folder), name);
  // Keep the file and give it its name (the rename by handle moves it from
  // its home when that is another folder); a folder there is never replaced
  // (the rename fails on it), a link is replaced itself.
  const bool moved =
      SetDeleteOnClose(pending.file, false) && RenameOpenFile(pending.file, target, replace);
  if (moved) {
    Close(pending.file);
    pending.file = kNoFile;
    pending.tempName.clear();
    return PublishResult::Published;
  }
  SetDeleteOnClose(pending.file, true);  // pending again
  if (!replace && KindAt(folder, name) != NameKind::Nothing) {
    DiscardPendingFile(pending);
    return PublishResult::NameTaken;
  }
  return PublishResult::Failed;
}

void DiscardPendingFile(PendingFile& pending) {
  if (pending.file != kNoFile) {
    SetDeleteOnClose(pending.file, true);
    Close(pending.file);
    pending.file = kNoFile;
  }
  if (!pending.tempName.empty()) {
    ::DeleteFileW(win32::LongPath(Child(*Get(pending.home), pending.tempName)).c_str());
    pending.tempName.clear();
  }
}

// Windows has no unnamed files; the delete-on-close mark does their job.
void AllowUnnamedPendingFiles(bool) {}

void AllowWholePathOpens(bool) {}

// Handles are plentiful on Windows; a held folder only cannot be renamed.
std::size_t FolderCacheLimit() { return 1024; }

}  // namespace vantelo::platform
