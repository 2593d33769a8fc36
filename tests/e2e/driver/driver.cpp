// qx_driver: drives a running program's windows for the end-to-end tests.
//   wait CAPTION MS                 wait for a visible top-level window
//   gone CAPTION MS                 wait until no such window exists
//   controls CAPTION                list every child: visible|hidden x y w h text
//   click CAPTION TEXT              press and release the mouse on a child
//   hover CAPTION TEXT              move the mouse onto a child
//   key CAPTION TEXT VK             a key press on a child (focus first)
//   close CAPTION                   ask the window to close
//   client CAPTION                  print the client area on the screen:
//                                   left top width height
//   cursor X Y                      put the mouse pointer at X, Y on the screen
//   hold PATH MS                    open a file without sharing and keep it
//                                   open for MS milliseconds
//   msgbox MS                       wait for a message box, print its
//                                   caption and text, press OK
//   state CAPTION                   print visible|hidden and iconic|normal
//                                   of the top-level window
//   focus CAPTION                   print the text of the focused window
//   taskbar                         list the shell's taskbar buttons:
//                                   left top w h|iconic|class|text of the
//                                   window each one stands for
//   accessible CAPTION [NAME]       every visible child as a screen reader
//                                   reads it through oleacc: role|default
//                                   action|name; with NAME, do the default
//                                   action of the child so named instead
// Exit code 0 on success, 1 when the window or control is not there.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND FindTop(const char* caption) { return ::FindWindowA(nullptr, caption); }

HWND WaitTop(const char* caption, DWORD ms, bool visible) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    HWND w = FindTop(caption);
    if (w && (!visible || ::IsWindowVisible(w))) return w;
    if (::GetTickCount() - start > ms) return nullptr;
    ::Sleep(50);
  }
}

std::string TextOf(HWND w) {
  char buffer[512] = {};
  ::GetWindowTextA(w, buffer, sizeof(buffer));
  return buffer;
}

struct Search {
  std::string text;
  HWND found;
};

BOOL CALLBACK FindChild(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  if (TextOf(w) == s->text && ::IsWindowVisible(w)) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

HWND Child(HWND top, const std::string& text) {
  Search s{text, nullptr};
  ::EnumChildWindows(top, &FindChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

BOOL CALLBACK ListChild(HWND w, LPARAM p) {
  HWND top = reinterpret_cast<HWND>(p);
  RECT rc;
  ::GetWindowRect(w, &rc);
  POINT tl = {rc.left, rc.top};
  ::ScreenToClient(top, &tl);
  POINT ptl = {rc.left, rc.top};
  ::ScreenToClient(::GetParent(w), &ptl);
  char cls[128] = {};
  ::GetClassNameA(w, cls, sizeof(cls));
  std::printf("%s|%ld|%ld|%ld|%ld|%ld|%ld|%s|%s\n", ::IsWindowVisible(w) ? "visible" : "hidden",
              tl.x, tl.y, rc.right - rc.left, rc.bottom - rc.top, ptl.x, ptl.y, cls,
              TextOf(w).c_str());
  return TRUE;
}

BOOL CALLBACK FindMessageBox(HWND w, LPARAM p) {
  char cls[64] = {};
  ::GetClassNameA(w, cls, sizeof(cls));
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (std::string(cls) == "#32770" && ::IsWindowVisible(w)) {
    *reinterpret_cast<HWND*>(p) = w;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK MessageText(HWND w, LPARAM p) {
  char cls[64] = {};
  ::GetClassNameA(w, cls, sizeof(cls));
  if (std::string(cls) == "Static") {
    const std::string t = TextOf(w);
    if (!t.empty()) *reinterpret_cast<std::string*>(p) += t;
  }
  return TRUE;
}

// Wine's shell taskbar (a virtual desktop named "shell"): each button's
// control ID is the window it stands for.
BOOL CALLBACK ListTaskbarButton(HWND button, LPARAM) {
  HWND target = reinterpret_cast<HWND>(::GetWindowLongPtrA(button, GWLP_ID));
  if (!target || !::IsWindowVisible(button)) return TRUE;
  RECT rc;
  ::GetWindowRect(button, &rc);
  char cls[128] = {};
  ::GetClassNameA(target, cls, sizeof(cls));
  std::printf("%ld %ld %ld %ld|%s|%s|%s\n", rc.left, rc.top, rc.right - rc.left,
              rc.bottom - rc.top, ::IsIconic(target) ? "iconic" : "normal", cls,
              TextOf(target).c_str());
  return TRUE;
}

std::string Narrow(BSTR text) {
  char buffer[512] = {};
  if (text) ::WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer) - 1, nullptr, 0);
  ::SysFreeString(text);
  return buffer;
}

struct Reader {
  const char* press;  // the name to act on, or none: list
  int result;
};

BOOL CALLBACK ReadChild(HWND w, LPARAM p) {
  auto* reader = reinterpret_cast<Reader*>(p);
  IAccessible* acc = nullptr;
  void** out = reinterpret_cast<void**>(&acc);
  if (!::IsWindowVisible(w) ||
      FAILED(::AccessibleObjectFromWindow(w, OBJID_CLIENT, __uuidof(IAccessible), out)))
    return TRUE;
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role = {};
  BSTR name = nullptr, action = nullptr;
  acc->get_accRole(self, &role);
  acc->get_accName(self, &name);
  acc->get_accDefaultAction(self, &action);
  const std::string text = Narrow(name), verb = Narrow(action);
  if (!reader->press)
    std::printf("%ld|%s|%s\n", role.vt == VT_I4 ? role.lVal : -1L, verb.c_str(), text.c_str());
  else if (text == reader->press)
    reader->result = SUCCEEDED(acc->accDoDefaultAction(self)) ? 0 : 1;
  acc->Release();
  return TRUE;
}

int Usage() {
  std::fprintf(stderr, "usage: qx_driver wait|gone|controls|client|cursor|click|hover|key|close|hold|msgbox|state|taskbar|accessible ...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  if (cmd == "wait" && argc == 4) return WaitTop(argv[2], std::atoi(argv[3]), true) ? 0 : 1;
  if (cmd == "gone" && argc == 4) {
    const DWORD start = ::GetTickCount();
    while (FindTop(argv[2])) {
      if (::GetTickCount() - start > static_cast<DWORD>(std::atoi(argv[3]))) return 1;
      ::Sleep(50);
    }
    return 0;
  }
  if (cmd == "cursor" && argc == 4)
    return ::SetCursorPos(std::atoi(argv[2]), std::atoi(argv[3])) ? 0 : 1;
  if (cmd == "hold" && argc == 4) {
    HANDLE file = ::CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    ::CloseHandle(file);
    return 0;
  }
  if (cmd == "msgbox" && argc == 3) {
    const DWORD start = ::GetTickCount();
    HWND box = nullptr;
    while (!box) {
      ::EnumWindows(&FindMessageBox, reinterpret_cast<LPARAM>(&box));
      if (box) break;
      if (::GetTickCount() - start > static_cast<DWORD>(std::atoi(argv[2]))) return 1;
      ::Sleep(50);
    }
    std::string text;
    ::EnumChildWindows(box, &MessageText, reinterpret_cast<LPARAM>(&text));
    std::printf("caption=%s\ntext=%s\n", TextOf(box).c_str(), text.c_str());
    std::fflush(stdout);
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 0;
  }
  if (cmd == "taskbar") {
    HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
    if (!tray) return 1;
    ::EnumChildWindows(tray, &ListTaskbarButton, 0);
    return 0;
  }
  if (argc < 3) return Usage();
  HWND top = WaitTop(argv[2], 5000, false);
  if (!top) {
    std::fprintf(stderr, "no window '%s'\n", argv[2]);
    return 1;
  }
  if (cmd == "controls") {
    ::EnumChildWindows(top, &ListChild, reinterpret_cast<LPARAM>(top));
    return 0;
  }
  if (cmd == "accessible") {
    ::CoInitialize(nullptr);
    Reader reader{argc > 3 ? argv[3] : nullptr, argc > 3 ? 1 : 0};
    ::EnumChildWindows(top, &ReadChild, reinterpret_cast<LPARAM>(&reader));
    return reader.result;
  }
  if (cmd == "client") {
    RECT rc;
    ::GetClientRect(top, &rc);
    ::MapWindowPoints(top, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    return 0;
  }
  if (cmd == "state") {
    std::printf("%s %s\n", ::IsWindowVisible(top) ? "visible" : "hidden",
                ::IsIconic(top) ? "iconic" : "normal");
    return 0;
  }
  if (cmd == "focus") {
    GUITHREADINFO info = {sizeof(info)};
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(top, nullptr), &info);
    std::printf("%s\n", TextOf(info.hwndFocus).c_str());
    return 0;
  }
  if (cmd == "close") {
    ::PostMessageA(top, WM_CLOSE, 0, 0);
    return 0;
  }
  if (argc < 4) return Usage();
  HWND child = Child(top, argv[3]);
  if (!child) {
    std::fprintf(stderr, "no visible control '%s'\n", argv[3]);
    return 1;
  }
  RECT rc;
  ::GetClientRect(child, &rc);
  const LPARAM centre = MAKELPARAM(rc.right / 2, rc.bottom / 2);
  if (cmd == "click") {
    ::PostMessageA(child, WM_MOUSEMOVE, 0, centre);
    ::PostMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    ::PostMessageA(child, WM_LBUTTONUP, 0, centre);
    return 0;
  }
  if (cmd == "hover") {
    POINT p = {rc.right / 2, rc.bottom / 2};
    ::ClientToScreen(child, &p);
    ::SetCursorPos(p.x, p.y);
    ::PostMessageA(child, WM_MOUSEMOVE, 0, centre);
    return 0;
  }
  if (cmd == "key" && argc == 5) {
    const WPARAM vk = static_cast<WPARAM>(std::atoi(argv[4]));
    ::PostMessageA(child, WM_KEYDOWN, vk, 1);
    ::PostMessageA(child, WM_KEYUP, vk, 0xC0000001);
    return 0;
  }
  return Usage();
}
