// System DLLs that only some runs need are loaded on their first call, not
// with the program: the shell (links, pages and scripts), COM for pages and
// documents, WinINet (the start event), imm32 (the one call the window
// needs), and oleacc with oleaut32 (screen readers). Importing them made
// every start, window or not, load and initialise about ten DLLs more under
// Wine.
// Each is taken from the system folder only, never from beside the exe.
#pragma once

#include <windows.h>
#include <imm.h>
#include <shellapi.h>
#include <wininet.h>

// Restricts where every later DLL load of the process looks, the loads of
// the DLLs' own imports included, to the system folder: the program runs
// elevated from folders such as Downloads, where anyone may drop a DLL named
// like a system one. SetDefaultDllDirectories is looked up because Windows 7
// has it only with KB2533623; without it, SetDllDirectoryA("") at least takes
// the current folder out of the search. Call it first thing at start.
void RestrictDllSearch();

// The address of `function` in the system DLL `library` (a name that lives as
// long as the program, e.g. "wininet.dll"), loaded on first use; nullptr when
// either cannot be had, with GetLastError() telling why (ERROR_MOD_NOT_FOUND,
// ERROR_PROC_NOT_FOUND, ...).
FARPROC SystemDllFunction(const char* library, const char* function);

// Calls `function` of `library`, typed as `Fn`. When it cannot be had the
// result is `failed` and the last error is the one of the failed load, as if
// the call itself had failed.
template <typename Fn, typename Result, typename... Args>
Result CallSystemDll(const char* library, const char* function, Result failed, Args... args) {
  auto* fn = reinterpret_cast<Fn*>(reinterpret_cast<void*>(SystemDllFunction(library, function)));
  return fn ? fn(args...) : failed;
}

// The calls the program makes into those DLLs: same signatures, same results
// as the real ones, and failure results when the DLL cannot be loaded.
namespace late {

// ShellExecuteA initialises COM apartment-threaded on this thread first, as
// the shell's documentation asks for pages and documents, whose handlers may
// be COM objects; the program's one thread keeps it. ShellExecuteExA, which
// the program uses for its scripts only, leaves COM alone.
HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand);
BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA* info);

HINTERNET WINAPI InternetOpenA(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass,
                               DWORD flags);
HINTERNET WINAPI InternetConnectA(HINTERNET internet, LPCSTR server, INTERNET_PORT port,
                                  LPCSTR user, LPCSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context);
HINTERNET WINAPI HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object,
                                  LPCSTR version, LPCSTR referrer, LPCSTR* acceptTypes,
                                  DWORD flags, DWORD_PTR context);
BOOL WINAPI HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength,
                             LPVOID optional, DWORD optionalLength);
BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);
BOOL WINAPI InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
BOOL WINAPI InternetCloseHandle(HINTERNET handle);

// The input method, from imm32 (which the window system loads anyway).
BOOL WINAPI ImmDisableIME(DWORD thread);

// Accessibility, asked for by screen readers only. LresultFromObject hands
// the object over through COM, which it sets up first as ShellExecuteA does.
HRESULT WINAPI CreateStdAccessibleObject(HWND window, LONG objectId, REFIID riid, void** object);
LRESULT WINAPI LresultFromObject(REFIID riid, WPARAM wParam, IUnknown* object);
// The strings a COM caller frees; nullptr when oleaut32 cannot be had.
BSTR WINAPI SysAllocStringLen(const OLECHAR* text, UINT length);

}  // namespace late
