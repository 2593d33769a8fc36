// A DLL that someone without rights could drop beside quellix.exe under the
// name of a system DLL (msimg32.dll). Loaded into a process, it leaves a mark
// file at once. It serves no function: a program that imported one from
// msimg32 would not even start with it beside it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    const HANDLE mark = ::CreateFileA("C:\\planted-dll-loaded.txt", GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) ::CloseHandle(mark);
  }
  return TRUE;
}

// Built as a program too, under system programs' names (taskkill.exe, ...).
int main() {
  ::CloseHandle(::CreateFileA("C:\\planted-program-ran.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}
