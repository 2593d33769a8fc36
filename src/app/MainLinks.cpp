// The links and the buttons that open pages or files, and "Stop Waiting...".
#include <windows.h>

#include "app/Main.h"
#include "framework/Application.h"
#include "framework/SysUtils.h"
#include "framework/SystemDll.h"
#include "removal/CommandRunner.h"

namespace {

// The maker's site; its statistics tell by campaign and keyword where a
// visit came from.
const char kSite[] = "https://www.quellix.com";
const char kCampaign[] = "pk_campaign=gwx&pk_kwd=quellix";
const char kAdGuardPartner[] = "63410";

// The shell's "open", no owner window, no parameters, no directory. Whether
// anything opened is not our concern: there is no message for it.
void ShellOpen(const std::string& target, int showCommand) {
  late::ShellExecuteA(nullptr, "open", target.c_str(), "", "", showCommand);
}

}  // namespace

std::string WebPageAddress(TWebPage page) {
  const std::string site = kSite;
  switch (page) {
    case TWebPage::WhatIsGwx:
      return site + "/blog/what-is-gwx-gwx-exe?" + kCampaign;
    case TWebPage::Cleanwarden:
      return site + "/cleanwarden/index.html?force=1&" + kCampaign;
    case TWebPage::AdGuard:
      return std::string("https://adguard.com/?aid=") + kAdGuardPartner;
    case TWebPage::Startmeter:
      return site + "/startmeter/";
  }
  return std::string();
}

void TfrmScann::lblFeedbackClick(TComponent*) {
  ShellOpen(WebPageAddress(TWebPage::WhatIsGwx), SW_SHOWNORMAL);
}

void TfrmScann::lblReadmeClick(TComponent*) {
  const std::string folder = ExecutableFolder();
  if (!folder.empty() && FileExists(folder + "readme.txt")) ShellOpen(folder + "readme.txt", SW_SHOW);
}

void TfrmScann::lblViewlogClick(TComponent*) {
  const std::string folder = ExecutableFolder();
  if (folder.empty()) {
    // "log.txt" alone would open whichever lies in the current folder.
    Application->MessageBox(UnusableFolderMessage());
    return;
  }
  const std::string path = folder + "log.txt";
  if (FileExists(path))
    ShellOpen(path, SW_SHOW);
  else
    Application->MessageBox("File does not exist:\n" + path);
}

void TfrmScann::btSopWaitClick(TComponent*) {
  g_StopWaiting = true;
  try {
    pnlWait->Hide();
  } catch (...) {
    // The wait is over whether or not the panel went away.
  }
}

void TfrmScann::btHelpRemovalClick(TComponent*) {
  ShellOpen(WebPageAddress(TWebPage::Cleanwarden), SW_SHOW);
}

void TfrmScann::btAdvancedClick(TComponent*) {
  ShellOpen(WebPageAddress(TWebPage::AdGuard), SW_SHOW);
}

void TfrmScann::btStartmeterClick(TComponent*) {
  ShellOpen(WebPageAddress(TWebPage::Startmeter), SW_SHOW);
}
