// A DLL that someone without rights could drop beside quellix.exe under the
// name of a system DLL (msimg32.dll). Loaded into a process, it leaves a mark
// file at once; it also serves AlphaBlend, so that a program importing
// msimg32 starts with it as it would with a real planted copy.
#include <windows.h>

extern "C" __declspec(dllexport) BOOL WINAPI AlphaBlend(HDC target, int x, int y, int width,
                                                        int height, HDC source, int sourceX,
                                                        int sourceY, int sourceWidth,
                                                        int sourceHeight, BLENDFUNCTION blend) {
  return ::GdiAlphaBlend(target, x, y, width, height, source, sourceX, sourceY, sourceWidth,
                         sourceHeight, blend);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    const HANDLE mark = ::CreateFileA("C:\\planted-dll-loaded.txt", GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) ::CloseHandle(mark);
  }
  return TRUE;
}
