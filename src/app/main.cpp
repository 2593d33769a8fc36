// Program entry: the application object, its title, the main window, the
// message loop. The exit code is 0 in every mode.
#include <windows.h>

#include <exception>

#include "app/Main.h"
#include "framework/Application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    Application->Initialize();
    Application->SetTitle("Quellix");
    Application->CreateForm(frmScann);
    Application->Run();
  } catch (const std::exception& e) {
    Application->ShowException(e);
  }
  return 0;
}
