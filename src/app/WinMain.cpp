// Program entry: the application object, its title, the main window, the
// message loop. The exit code is 0 in every mode.
#include <windows.h>

#include "app/Main.h"
#include "app/Modes.h"
#include "framework/Application.h"
#include "framework/SystemDll.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictDllSearch();
  return RunProgram([] {
    Application->Initialize();
    Application->SetTitle("Quellix");
    Application->CreateForm(frmScann);
    Application->Run();
  });
}
