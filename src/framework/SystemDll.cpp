#include "framework/SystemDll.h"

#include <objbase.h>
#include <oleacc.h>

void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  ::SetDllDirectoryA("");
}

FARPROC SystemDllFunction(const char* library, const char* function) {
  // Loaded once and kept for the life of the process, like an import. The
  // program asks for six DLLs; a name past the table's room still loads,
  // only without being remembered.
  struct Loaded {
    const char* name;
    HMODULE module;
  };
  static Loaded table[6];
  Loaded* slot = nullptr;
  for (Loaded& entry : table) {
    if (entry.name && ::lstrcmpiA(entry.name, library) == 0)
      return ::GetProcAddress(entry.module, function);
    if (!entry.name && !slot) slot = &entry;
  }
  char path[MAX_PATH];
  const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
  const size_t nameLength = ::lstrlenA(library);
  if (length == 0 || length + 1 + nameLength >= MAX_PATH) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  path[length] = '\\';
  ::lstrcpynA(path + length + 1, library, static_cast<int>(nameLength + 1));
  const HMODULE module = ::LoadLibraryA(path);
  if (!module) return nullptr;
  if (slot) *slot = Loaded{library, module};
  return ::GetProcAddress(module, function);
}

namespace {

const char kShell[] = "shell32.dll";
const char kWinInet[] = "wininet.dll";
const char kOleAcc[] = "oleacc.dll";

void ComOnThisThread() {
  static bool done = false;
  if (done) return;
  done = true;
  CallSystemDll<decltype(::CoInitializeEx)>("ole32.dll", "CoInitializeEx", E_FAIL,
                                            static_cast<LPVOID>(nullptr),
                                            static_cast<DWORD>(COINIT_APARTMENTTHREADED));
}

}  // namespace

namespace late {

HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand) {
  ComOnThisThread();
  // 32 or less is a failure; SE_ERR_DLLNOTFOUND is the one that fits.
  return CallSystemDll<decltype(::ShellExecuteA)>(
      kShell, "ShellExecuteA", reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND), owner, verb, file,
      parameters, directory, showCommand);
}

BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  // No COM here: the program starts only its own batch and command files this
  // way, and those open through their plain command line, with no shell
  // extension involved. Under Wine, COM's apartment window would be the only
  // window of an "/auto" run, and it loads and connects the display driver.
  return CallSystemDll<decltype(::ShellExecuteExA)>(kShell, "ShellExecuteExA", FALSE, info);
}

HINTERNET WINAPI InternetOpenA(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass,
                               DWORD flags) {
  return CallSystemDll<decltype(::InternetOpenA)>(kWinInet, "InternetOpenA", HINTERNET(nullptr),
                                                  agent, access, proxy, bypass, flags);
}

HINTERNET WINAPI InternetConnectA(HINTERNET internet, LPCSTR server, INTERNET_PORT port,
                                  LPCSTR user, LPCSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context) {
  return CallSystemDll<decltype(::InternetConnectA)>(kWinInet, "InternetConnectA",
                                                     HINTERNET(nullptr), internet, server, port,
                                                     user, password, service, flags, context);
}

HINTERNET WINAPI HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object,
                                  LPCSTR version, LPCSTR referrer, LPCSTR* acceptTypes,
                                  DWORD flags, DWORD_PTR context) {
  return CallSystemDll<decltype(::HttpOpenRequestA)>(kWinInet, "HttpOpenRequestA",
                                                     HINTERNET(nullptr), connection, verb, object,
                                                     version, referrer, acceptTypes, flags,
                                                     context);
}

BOOL WINAPI HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                             LPVOID optional, DWORD optionalLength) {
  return CallSystemDll<decltype(::HttpSendRequestA)>(kWinInet, "HttpSendRequestA", FALSE, request,
                                                     headers, headersLength, optional,
                                                     optionalLength);
}

BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
  return CallSystemDll<decltype(::InternetReadFile)>(kWinInet, "InternetReadFile", FALSE, file,
                                                     buffer, toRead, read);
}

BOOL WINAPI InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
  return CallSystemDll<decltype(::InternetSetOptionA)>(kWinInet, "InternetSetOptionA", FALSE,
                                                       handle, option, buffer, length);
}

BOOL WINAPI InternetCloseHandle(HINTERNET handle) {
  return CallSystemDll<decltype(::InternetCloseHandle)>(kWinInet, "InternetCloseHandle", FALSE,
                                                        handle);
}

BOOL WINAPI ImmDisableIME(DWORD thread) {
  return CallSystemDll<decltype(::ImmDisableIME)>("imm32.dll", "ImmDisableIME", FALSE, thread);
}

HRESULT WINAPI CreateStdAccessibleObject(HWND window, LONG objectId, REFIID riid, void** object) {
  *object = nullptr;
  return CallSystemDll<decltype(::CreateStdAccessibleObject)>(
      kOleAcc, "CreateStdAccessibleObject", E_FAIL, window, objectId, riid, object);
}

LRESULT WINAPI LresultFromObject(REFIID riid, WPARAM wParam, IUnknown* object) {
  ComOnThisThread();
  return CallSystemDll<decltype(::LresultFromObject)>(kOleAcc, "LresultFromObject", LRESULT(E_FAIL),
                                                      riid, wParam, object);
}

BSTR WINAPI SysAllocStringLen(const OLECHAR* text, UINT length) {
  return CallSystemDll<decltype(::SysAllocStringLen)>("oleaut32.dll", "SysAllocStringLen",
                                                      BSTR(nullptr), text, length);
}

}  // namespace late
