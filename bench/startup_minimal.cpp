// The yardstick for the start-up benchmark: the least Win32 program that
// opens one window like the main window (same frame, client area 511 x 561,
// white, centred) and paints it. It writes the same start-up marks as
// quellix.exe where they apply, so that both programs' phases print.
#include <windows.h>

#include "framework/StartupMarks.h"

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  StartupMark("entry");
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "MinimalWindow";
  if (!::RegisterClassA(&wc)) return 1;
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT rc = {0, 0, 511, 561};
  ::AdjustWindowRectEx(&rc, style, FALSE, WS_EX_APPWINDOW);
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  HWND hwnd = ::CreateWindowExA(WS_EX_APPWINDOW, "MinimalWindow", "Minimal 511x561", style,
                                (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  StartupMark("state");
  ::ShowWindow(hwnd, SW_SHOWNORMAL);
  ::UpdateWindow(hwnd);
  StartupMark("painted");
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}
