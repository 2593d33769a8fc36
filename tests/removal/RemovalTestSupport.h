// Helpers for the removal tests: waiting for a file a script writes, a window
// that counts the messages handled while a walk runs, and folder links made
// from the Linux side (Wine cannot make them itself).
#pragma once

#include <windows.h>

#include <aclapi.h>

#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Seam.h"
#include "support/TestSupport.h"

namespace removal_testing {

// Waits for a file to appear. The limit only keeps a broken run from
// hanging; nothing is measured.
inline bool Appears(const std::string& path) {
  for (int i = 0; i < 600; ++i) {
    if (testing_support::Exists(path)) return true;
    ::Sleep(100);
  }
  return false;
}

// A message-only window; Post() queues a message that only a message loop
// run by the code under test can deliver.
class MessageProbe {
 public:
  MessageProbe() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuellixRemovalProbe";
    ::RegisterClassA(&wc);  // already registered by an earlier probe: fine
    window_.reset(::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    wc.hInstance, nullptr));
    handled_ = 0;
  }
  ~MessageProbe() {
    window_.reset();
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  bool Post() { return ::PostMessageA(window_.get(), WM_APP + 7, 0, 0) != FALSE; }
  int Handled() const { return handled_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP + 7) {
      ++handled_;
      return 0;
    }
    return ::DefWindowProcA(hwnd, message, w, l);
  }
  static inline int handled_ = 0;
  UniqueWindow window_;
};

// The Unix path Wine keeps a Windows path at.
inline std::string UnixPath(const std::string& windowsPath) {
  using Fn = char*(CDECL*)(LPCWSTR);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (fn == nullptr) return std::string();
  wchar_t wide[MAX_PATH * 2] = {};
  ::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2);
  char* unix = fn(wide);
  if (unix == nullptr) return std::string();
  std::string result = unix;
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return result;
}

// Runs a Linux program through Wine (which starts ELF files natively).
inline bool RunUnix(std::string commandLine) {
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
    return false;
  if (pi.hProcess) ::CloseHandle(pi.hProcess);
  if (pi.hThread) ::CloseHandle(pi.hThread);
  return true;
}

inline bool IsFolderLink(const std::string& path) {
  const DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
         (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A symbolic link at link (a Windows path) to the folder target.
inline bool MakeFolderLink(const std::string& link, const std::string& target) {
  const std::string unixLink = UnixPath(link), unixTarget = UnixPath(target);
  if (unixLink.empty() || unixTarget.empty()) return false;
  if (!RunUnix("Z:\\bin\\ln -s \"" + unixTarget + "\" \"" + unixLink + "\"")) return false;
  // Wine hands back no handle for a Linux process: wait for its result.
  for (int i = 0; i < 600 && !IsFolderLink(link); ++i) ::Sleep(100);
  return IsFolderLink(link);
}

// Removes the link itself (Wine's RemoveDirectoryA would act on the target).
inline bool RemoveLink(const std::string& link) {
  const std::string unixLink = UnixPath(link);
  if (unixLink.empty() || !RunUnix("Z:\\bin\\rm -f \"" + unixLink + "\"")) return false;
  for (int i = 0; i < 600 && testing_support::Exists(link); ++i) ::Sleep(100);
  return !testing_support::Exists(link);
}

// SetNamedSecurityInfoA for the seam that records each path whose rights are
// written, and writes them.
inline std::vector<std::string> g_secured;
inline DWORD WINAPI RecordSecured(LPSTR path, SE_OBJECT_TYPE type, SECURITY_INFORMATION what,
                                  PSID owner, PSID group, PACL dacl, PACL sacl) {
  g_secured.push_back(path);
  return ::SetNamedSecurityInfoA(path, type, what, owner, group, dacl, sacl);
}

// Find functions for the seam that report the entry named g_markedName as a
// reparse point with the tag g_markedTag: by default a file symbolic link, as
// Windows reports one (Wine shows those as plain files).
inline std::string g_markedName;
inline DWORD g_markedTag = IO_REPARSE_TAG_SYMLINK;
inline void MarkEntry(LPWIN32_FIND_DATAA data) {
  if (g_markedName != data->cFileName) return;
  data->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  data->dwReserved0 = g_markedTag;
}
inline HANDLE WINAPI FindFirstMarking(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  HANDLE h = ::FindFirstFileA(pattern, data);
  if (h != INVALID_HANDLE_VALUE) MarkEntry(data);
  return h;
}
inline BOOL WINAPI FindNextMarking(HANDLE h, LPWIN32_FIND_DATAA data) {
  const BOOL ok = ::FindNextFileA(h, data);
  if (ok) MarkEntry(data);
  return ok;
}

// For its scope: the walk sees the entry `name` as a reparse point tagged
// `tag` (a link to a file unless told otherwise), and every rights write is
// recorded in g_secured (cleared first).
class ScopedFileLinkSeams {
 public:
  explicit ScopedFileLinkSeams(const std::string& name, DWORD tag = IO_REPARSE_TAG_SYMLINK)
      : first_(Seam().FindFirstFileA, &FindFirstMarking),
        next_(Seam().FindNextFileA, &FindNextMarking),
        secured_(Seam().SetNamedSecurityInfoA, &RecordSecured) {
    g_markedName = name;
    g_markedTag = tag;
    g_secured.clear();
  }

 private:
  ScopedSeam<decltype(&::FindFirstFileA)> first_;
  ScopedSeam<decltype(&::FindNextFileA)> next_;
  ScopedSeam<decltype(&::SetNamedSecurityInfoA)> secured_;
};

}  // namespace removal_testing
