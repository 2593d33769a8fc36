// Program entry: the application object, its title, the main window, the
// message loop. The exit code is 0 in every mode.
#include <windows.h>

#include <cstdlib>
#include <exception>

#include "app/Main.h"
#include "app/Modes.h"
#include "framework/Application.h"
#include "framework/SystemDll.h"

// What ends the program when an exception escapes every handler. The C++
// library's own first writes the exception's type to stderr, which this GUI
// program has not, and brings its name demangler into the exe for that: about
// 50 KB. This one ends the same way, through abort(), without the text.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  return RunProgram([] {
    Application->Initialize();
    Application->SetTitle("Quellix");
    Application->CreateForm(frmScann);
    Application->Run();
  });
}
