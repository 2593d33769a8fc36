// The main window: start-up decisions in the constructor, the window's
// controls and states, and the handlers behind its buttons and links.
#pragma once

#include <string>
#include <vector>

#include "controls/Velmorabutton.h"
#include "framework/ExtCtrls.h"
#include "framework/Form.h"
#include "framework/StdCtrls.h"

// The web pages the window opens; the one place that holds their addresses.
enum class TWebPage { WhatIsGwx, Cleanwarden, AdGuard, Startmeter };
std::string WebPageAddress(TWebPage page);

// Said where the program cannot name its own folder, which holds every file it
// runs, writes or opens.
std::string UnusableFolderMessage();

class TfrmScann : public TForm {
 public:
  explicit TfrmScann(TComponent* owner);

  // Controls (owned by the form).
  TPanel* Panel1 = nullptr;
  TLabel* lblWhat = nullptr;
  TLabel* lblReadme = nullptr;
  TLabel* lblFeedback = nullptr;
  TVelmoraButton* btStop = nullptr;
  TPanel* panSuccess = nullptr;
  TLabel* lblSuccess = nullptr;
  TLabel* lblViewlog = nullptr;
  TPanel* pnlWait = nullptr;
  TLabel* Label1 = nullptr;
  TVelmoraButton* btSopWait = nullptr;
  TLabel* Label2 = nullptr;
  TVelmoraButton* btProtection = nullptr;
  TVelmoraButton* btRemoveprot = nullptr;
  TLabel* lblEOSStatus = nullptr;
  TVelmoraButton* btBlockEOS = nullptr;
  TVelmoraButton* btRestoreEOS = nullptr;
  TLabel* Label3 = nullptr;
  TVelmoraButton* btHelpRemoval = nullptr;
  TLabel* Label4 = nullptr;
  TVelmoraButton* btAdvanced = nullptr;
  TLabel* Label5 = nullptr;
  TVelmoraButton* btStartmeter = nullptr;
  TPanel* Panel2 = nullptr;
  TImage* Image1 = nullptr;

  // Picture stores of the buttons, never shown.
  TPanel* panImages = nullptr;
  TImage* imgButton = nullptr;
  TImage* imgButtonHover = nullptr;
  TImage* imgButtonFocused = nullptr;
  TImage* imgRedSet = nullptr;
  TImage* imgGreenSet = nullptr;
  TImage* imgStopIcon = nullptr;
  TImage* imgRemoteAss = nullptr;
  TImage* imgAdguard = nullptr;
  TImage* imgStartmeter = nullptr;
  TPanel* panSteps = nullptr;
  TImage* imgCheckRed = nullptr;
  TImage* imgCheckRedHover = nullptr;
  TImage* imgCheckRedFocused = nullptr;

  // The Windows directory as GetWindowsDirectoryA gives it.
  std::string WindowsDir;

  // 0 installed, 1 not installed, 2 disabled.
  int DetectGwxState();

  // Stop procedure.
  void btStopClick(TComponent* sender);
  void CollectTaskCommands(const std::string& folder, const std::string& prefix,
                           std::vector<std::string>* list);

  // Links and the other buttons.
  void lblFeedbackClick(TComponent* sender);
  void lblReadmeClick(TComponent* sender);
  void lblViewlogClick(TComponent* sender);
  void btSopWaitClick(TComponent* sender);
  void btHelpRemovalClick(TComponent* sender);
  void btAdvancedClick(TComponent* sender);
  void btStartmeterClick(TComponent* sender);

  // Execution blocking.
  void btProtectionClick(TComponent* sender);
  void btRemoveprotClick(TComponent* sender);
  void btBlockEOSClick(TComponent* sender);
  void btRestoreEOSClick(TComponent* sender);
  bool IsGwxProtected();
  bool IsEosProtected();
  void RefreshProtectionStatus();

 protected:
  void FillCreateParams(CreateParams& params) override;

 private:
  // Creates every control in its designed place and state.
  void BuildControls();
  void BuildImageStores();
  void StyleControls();
  // The status area for the GWX state found at start-up.
  void ShowGwxState(int state);
  // The status area at the end of a pass: the success panel, or in its place
  // the word that GWX is still there.
  void ShowPassOutcome(bool disabled);

  // "/postins" or "/auto": no window, so nobody to read a box or a page.
  bool FWindowless = false;

  // A stop pass is running. It handles the window's messages while it waits,
  // so a second click or Enter on "Stop GWX!" can arrive before the button
  // hides; such a click starts nothing.
  bool FStopping = false;
};

extern TfrmScann* frmScann;
