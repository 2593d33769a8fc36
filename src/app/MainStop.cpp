#include <windows.h>

#include "app/Main.h"
#include "framework/Application.h"
#include "framework/StartupMarks.h"
#include "framework/SysUtils.h"
#include "framework/SystemDll.h"
#include "removal/CommandRunner.h"
#include "removal/Privileges.h"
#include "removal/StopProcedure.h"
#include "removal/TaskCommands.h"
#include "removal/Wow64.h"

std::string UnusableFolderMessage() {
  return "Quellix cannot work in the folder\n" + ExecutableFolderShown() +
         "\nIts name is too long or has characters that this Windows cannot pass to "
         "Quellix. Please, move Quellix to a folder with a short, plain name.";
}

void TfrmScann::btStopClick(TComponent*) {
  if (FStopping) return;
  FStopping = true;
  struct PassEnds {
    bool& running;
    ~PassEnds() { running = false; }
  } passEnds{FStopping};
  // The command list lives for this pass only.
  std::vector<std::string> commands;
  try {
    const std::string folder = ExecutableFolder();
    if (folder.empty()) {
      // Nothing is done from there: every file of the pass lies in that folder.
      Application->MessageBox(UnusableFolderMessage());
      return;
    }
    const std::string batchFile = folder + "stop-gwx-from-startup.bat";
    const std::string commandFile = folder + "disable-triggers.cmd";
    const std::string system = NativeSystemFolder(WindowsDir, g_Is64BitWindows);

    const std::string taskFolder = GwxTaskFolder(system);
    StartupMark("pass");
    ResetFileRights(taskFolder);
    StartupMark("task-rights");
    try {
      CollectTaskCommands(taskFolder, kGwxTaskPrefix, &commands);
      SaveCommandFile(commandFile, commands);
    } catch (...) {
      // Without a new command file the pass still stops what it can.
    }

    StartupMark("command-file");
    if (!FileExists(batchFile)) {
      // "Quelix" with one l: the message as users have always seen it.
      Application->MessageBox("Quelix is corrupted. Please, download Quellix.");
      // Without a window no one is there to read the page.
      if (!FWindowless)
        late::ShellExecuteA(nullptr, "open", WebPageAddress(TWebPage::WhatIsGwx).c_str(), "", "", SW_SHOWNORMAL);
      return;
    }

    // The wait panel shows before "Stop GWX!" goes: the keyboard moves
    // straight to "Stop Waiting...", where Enter ends the wait, not by way
    // of the next button.
    pnlWait->SetAlign(TAlign::alTop);
    pnlWait->Show();
    SetActiveControl(btSopWait);
    btStop->Hide();
    StartupMark("wait-shown");
    RunAndWait(batchFile, ">log.txt", folder, SW_HIDE);
    StartupMark("batch-run");
    RunAndWait(commandFile, ">>log.txt", folder, SW_HIDE);
    StartupMark("command-file-run");

    const std::string gwx = system + "GWX";
    if (PathExists(gwx)) {
      RemoveDisabledGwx(gwx);
      StartupMark("old-copy-removed");
      RenameGwx(gwx);
      StartupMark("renamed");
    }
    // The outcome is known only now: a GWX folder still at its name is not
    // disabled, whatever the scripts did. It shows before the wait panel
    // goes, as that panel did before "Stop GWX!" went: the keyboard goes on
    // from the log link, unless the user took it elsewhere.
    ShowPassOutcome(!PathExists(gwx));
    if (ActiveControl() == btSopWait) SetActiveControl(lblViewlog);
    pnlWait->Hide();
  } catch (...) {
    // Nothing of a failed pass is shown; the diagnostic log has the details.
  }
}

void TfrmScann::CollectTaskCommands(const std::string& folder, const std::string& prefix,
                                    std::vector<std::string>* list) {
  ::CollectTaskCommands(folder, prefix, list);
}
