#include "app/Main.h"

#include <windows.h>

#include "app/GwxState.h"
#include "app/Modes.h"
#include "framework/Application.h"
#include "framework/Args.h"
#include "framework/StartupMarks.h"
#include "framework/SysUtils.h"
#include "removal/DiagnosticLog.h"
#include "removal/Wow64.h"
#include "reporting/Reporting.h"
#include "version.h"

TfrmScann* frmScann = nullptr;

namespace {
// The program's own code starts here (static initialisation, before WinMain).
const bool g_entryMarked = (StartupMark("entry"), true);
}  // namespace

TfrmScann::TfrmScann(TComponent* owner) : TForm(owner) {
  // Every decision of a run is taken here, in this order, in every mode.
  BuildControls();
  WindowsDir.clear();

  const RunMode mode = ModeForArgument(ParamStr(1));
  FWindowless = mode != RunMode::Interactive;
  // A box that nobody can close would hold the run for ever: its text goes
  // to the diagnostic log instead.
  if (FWindowless) Application->MessageSink = WriteLog;
  // Post-install: the start event before anything else; the run ends as soon
  // as the message loop starts.
  if (mode == RunMode::PostInstall) {
    Application->ShowMainForm = false;
    SendAppOpenedEvent();
    Application->Terminate();
  }
  const std::string folder = ExecutableFolder();
  if (!folder.empty()) g_DiagnosticLogPath = folder + "log2.txt";
  const bool automatic = mode == RunMode::Automatic;
  if (automatic) Application->ShowMainForm = false;

  g_Is64BitWindows = IsWow64() != 0;
  char buffer[260] = {};
  ::GetWindowsDirectoryA(buffer, 260);
  WindowsDir = buffer;

  const int state = DetectGwxState();
  ShowGwxState(state);
  RefreshProtectionStatus();
  // The first focus is the first button's, not the links' before it.
  SetActiveControl(btStop->Visible()         ? btStop
                   : btProtection->Visible() ? btProtection
                                             : btRemoveprot);
  StartupMark("state");

  // Automatic: stop GWX when it is there, then end without a window.
  if (automatic) {
    if (state == gwxInstalled) btStopClick(nullptr);
    Application->Terminate();
  }
}

void TfrmScann::FillCreateParams(CreateParams& params) {
  TForm::FillCreateParams(params);
  params.className = "TfrmScann";
}

int TfrmScann::DetectGwxState() { return ::DetectGwxState(WindowsDir, g_Is64BitWindows); }

namespace {

const COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kNavy = RGB(0x22, 0x39, 0x66);      // the window's text
const COLORREF kGrey = RGB(0x69, 0x69, 0x69);      // the left column
const COLORREF kLinkBlue = RGB(0x00, 0x69, 0xDD);  // links, protection and promotion buttons

const char kCopyright[] = "Copyright (C) 2016-2026 Quellix Software. Quellix is freeware.";

template <typename T>
T* Make(TfrmScann* form, TWinControl* parent, const char* name, int left, int top, int width,
        int height, const char* caption = "") {
  T* control = new T(form);
  control->Name = name;
  control->SetBounds(left, top, width, height);
  control->SetCaption(caption);
  control->SetParent(parent);
  return control;
}

TFont WindowFont() {
  TFont font;
  font.Name = "Trebuchet MS";
  font.SetSize(9);
  font.Color = kNavy;
  return font;
}

TFont WithColor(TFont font, COLORREF color) {
  font.Color = color;
  return font;
}

void MakeLink(TLabel* label, COLORREF color) {
  TFont font = WithColor(label->Font(), color);
  font.Style |= fsUnderline;
  label->SetFont(font);
  label->SetCursor(crHandPoint);
  label->SetTabStop(true);
}

// A label of the left column: grey, wrapped, centred both ways in its box.
void MakeSideNote(TLabel* label) {
  label->SetFont(WithColor(label->Font(), kGrey));
  label->SetAlignment(taCenter);
  label->SetLayout(tlCenter);
  label->SetWordWrap(true);
}

struct ButtonLook {
  TVelmoraButton* button;
  COLORREF captionColor;
  TImage* normal;
  TImage* hover;
  TImage* focused;
  TImage* icon;
};

void Dress(const ButtonLook& look) {
  TVelmoraButton* b = look.button;
  b->SetFont(WithColor(b->Font(), look.captionColor));
  b->SetCursor(crHandPoint);
  b->SetIconIndentLeft(8);
  b->SetIconIndentRight(8);
  b->SetImageNormal(look.normal);
  b->SetImageHover(look.hover);
  b->SetImageFocused(look.focused);
  b->SetImagePressed(look.normal);
  b->SetImageIcon(look.icon);
}

}  // namespace

void TfrmScann::BuildControls() {
  Name = "frmScann";
  SetCaption("Quellix " QUELLIX_VERSION);
  SetColor(kWhite);
  SetFont(WindowFont());
  SetClientSize(511, 561);
  // The windows themselves are made when the form is first shown: a run
  // that never shows it ("/postins", "/auto") makes none.
  SetIconResource("MAINICON");

  Panel1 = Make<TPanel>(this, this, "Panel1", 0, 0, 511, 41);
  Panel1->SetAlign(TAlign::alTop);
  lblWhat = Make<TLabel>(this, Panel1, "lblWhat", 17, 14, 73, 18, "What is GWX?");
  lblReadme = Make<TLabel>(this, Panel1, "lblReadme", 101, 14, 51, 18, "Read me!");
  lblFeedback = Make<TLabel>(this, Panel1, "lblFeedback", 406, 14, 90, 18, "Add Feedback...");

  btStop = Make<TVelmoraButton>(this, this, "btStop", 162, 67, 195, 53, "Stop GWX!");

  panSuccess = Make<TPanel>(this, this, "panSuccess", 99, 51, 306, 79);
  panSuccess->Hide();
  Image1 = Make<TImage>(this, panSuccess, "Image1", 24, 19, 32, 32);
  lblSuccess = Make<TLabel>(this, panSuccess, "lblSuccess", 71, 19, 202, 18,
                            "GWX has been successfully disabled!");
  lblViewlog = Make<TLabel>(this, panSuccess, "lblViewlog", 74, 37, 118, 18,
                            "View execution log...");

  pnlWait = Make<TPanel>(this, this, "pnlWait", 406, 211, 511, 110);
  pnlWait->Hide();
  Label1 = Make<TLabel>(this, pnlWait, "Label1", 204, 13, 78, 18, "Please, wait...");
  btSopWait = Make<TVelmoraButton>(this, pnlWait, "btSopWait", 152, 36, 195, 56, "Stop Waiting...");

  Label2 = Make<TLabel>(this, this, "Label2", 8, 151, 143, 54, "Protection against GWX executing:");
  btProtection = Make<TVelmoraButton>(this, this, "btProtection", 165, 143, 267, 67, "Not protected!");
  btRemoveprot = Make<TVelmoraButton>(this, this, "btRemoveprot", 165, 143, 267, 67,
                                      "Protected (click to Unprotect)");
  btRemoveprot->Hide();
  lblEOSStatus = Make<TLabel>(this, this, "lblEOSStatus", 8, 220, 147, 54,
                              "Protection against End of Support Screen:");
  btBlockEOS = Make<TVelmoraButton>(this, this, "btBlockEOS", 165, 216, 267, 67, "Not protected!");
  btRestoreEOS = Make<TVelmoraButton>(this, this, "btRestoreEOS", 165, 216, 267, 67,
                                      "Protected (click to Unprotect)");
  btRestoreEOS->Hide();
  Label3 = Make<TLabel>(this, this, "Label3", 8, 293, 147, 54,
                        "Not an antivirus. Ultimate Malware Killer:");
  btHelpRemoval = Make<TVelmoraButton>(this, this, "btHelpRemoval", 165, 289, 267, 67,
                                       "Download Cleanwarden");
  Label4 = Make<TLabel>(this, this, "Label4", 8, 366, 147, 54, "Get rid of annoying ads:");
  btAdvanced = Make<TVelmoraButton>(this, this, "btAdvanced", 165, 361, 267, 67, "Try AdGuard!");
  Label5 = Make<TLabel>(this, this, "Label5", 8, 441, 147, 54,
                        "Take control over your startup and speed up your PC:");
  btStartmeter = Make<TVelmoraButton>(this, this, "btStartmeter", 165, 434, 267, 67,
                                      "Download Startmeter");
  Panel2 = Make<TPanel>(this, this, "Panel2", 0, 524, 511, 37, kCopyright);
  Panel2->SetAlign(TAlign::alBottom);

  StartupMark("built");
  BuildImageStores();
  StartupMark("pictures");
  StyleControls();
  StartupMark("styled");

  lblWhat->OnClick = [this](TComponent* s) { lblFeedbackClick(s); };
  lblFeedback->OnClick = [this](TComponent* s) { lblFeedbackClick(s); };
  lblReadme->OnClick = [this](TComponent* s) { lblReadmeClick(s); };
  lblViewlog->OnClick = [this](TComponent* s) { lblViewlogClick(s); };
  btStop->OnClick = [this](TComponent* s) { btStopClick(s); };
  btSopWait->OnClick = [this](TComponent* s) { btSopWaitClick(s); };
  btProtection->OnClick = [this](TComponent* s) { btProtectionClick(s); };
  btRemoveprot->OnClick = [this](TComponent* s) { btRemoveprotClick(s); };
  btBlockEOS->OnClick = [this](TComponent* s) { btBlockEOSClick(s); };
  btRestoreEOS->OnClick = [this](TComponent* s) { btRestoreEOSClick(s); };
  btHelpRemoval->OnClick = [this](TComponent* s) { btHelpRemovalClick(s); };
  btAdvanced->OnClick = [this](TComponent* s) { btAdvancedClick(s); };
  btStartmeter->OnClick = [this](TComponent* s) { btStartmeterClick(s); };
}

void TfrmScann::BuildImageStores() {
  const HMODULE module = ::GetModuleHandleA(nullptr);
  // Each picture is the program's resource of the component's own name,
  // decoded when first drawn; a missing one leaves its component without a
  // picture.
  auto store = [&](TPanel* panel, const char* name, int width, int height) {
    TImage* image = Make<TImage>(this, panel, name, 0, 0, width, height);
    image->Picture()->LoadFromResourceNameOnUse(module, name);
    return image;
  };
  panImages = Make<TPanel>(this, this, "panImages", 0, 0, 267, 67);
  panImages->Hide();
  imgButton = store(panImages, "imgButton", 267, 67);
  imgButtonHover = store(panImages, "imgButtonHover", 267, 67);
  imgButtonFocused = store(panImages, "imgButtonFocused", 267, 67);
  imgRedSet = store(panImages, "imgRedSet", 32, 32);
  imgGreenSet = store(panImages, "imgGreenSet", 32, 32);
  imgStopIcon = store(panImages, "imgStopIcon", 32, 32);
  imgRemoteAss = store(panImages, "imgRemoteAss", 32, 32);
  imgAdguard = store(panImages, "imgAdguard", 32, 32);
  imgStartmeter = store(panImages, "imgStartmeter", 32, 32);
  panSteps = Make<TPanel>(this, this, "panSteps", 0, 0, 150, 53);
  panSteps->Hide();
  imgCheckRed = store(panSteps, "imgCheckRed", 150, 53);
  imgCheckRedHover = store(panSteps, "imgCheckRedHover", 150, 53);
  imgCheckRedFocused = store(panSteps, "imgCheckRedFocused", 150, 53);
  Image1->Picture()->LoadFromResourceNameOnUse(module, "Image1");
}

void TfrmScann::StyleControls() {
  for (TPanel* panel : {Panel1, panSuccess, pnlWait, Panel2, panImages, panSteps})
    panel->SetColor(kWhite);
  Panel1->SetBevelOuter(bvRaised);
  pnlWait->SetBevelOuter(bvRaised);
  panSuccess->SetBevelOuter(bvNone);
  Panel2->SetBevelOuter(bvLowered);
  panImages->SetBevelOuter(bvNone);
  panSteps->SetBevelOuter(bvNone);

  for (TLabel* link : {lblWhat, lblReadme, lblFeedback}) MakeLink(link, kLinkBlue);
  MakeLink(lblViewlog, kNavy);
  for (TLabel* note : {Label2, lblEOSStatus, Label3, Label4, Label5}) MakeSideNote(note);
  lblSuccess->SetTransparent(true);

  const ButtonLook looks[] = {
      {btStop, kWhite, imgCheckRed, imgCheckRedHover, imgCheckRedFocused, nullptr},
      {btProtection, kLinkBlue, imgButton, imgButtonHover, imgButtonFocused, imgRedSet},
      {btBlockEOS, kLinkBlue, imgButton, imgButtonHover, imgButtonFocused, imgRedSet},
      {btRemoveprot, kLinkBlue, imgButton, imgButtonHover, imgButtonFocused, imgGreenSet},
      {btRestoreEOS, kLinkBlue, imgButton, imgButtonHover, imgButtonFocused, imgGreenSet},
      {btHelpRemoval, kLinkBlue, imgButton, imgButtonHover, imgButtonFocused, imgRemoteAss},
      {btAdvanced, kLinkBlue, imgButton, imgButtonHover, imgButtonFocused, imgAdguard},
      {btStartmeter, kLinkBlue, imgButton, imgButtonHover, imgButtonFocused, imgStartmeter},
      {btSopWait, kNavy, imgButton, imgButtonHover, imgButtonFocused, imgStopIcon},
  };
  for (const ButtonLook& look : looks) Dress(look);
  // A switch's caption tells only the state; the note beside it tells which
  // protection, and a screen reader hears both.
  for (TVelmoraButton* b : {btProtection, btRemoveprot}) b->SetAccessibleLabel(Label2);
  for (TVelmoraButton* b : {btBlockEOS, btRestoreEOS}) b->SetAccessibleLabel(lblEOSStatus);

  // The Tab key's round: the links where they stand, the top ones through
  // their panel before "Stop GWX!", the log link through its panel after
  // it; "Stop Waiting..." takes its turn through its panel.
  int order = 0;
  for (TWinControl* c : std::initializer_list<TWinControl*>{
           Panel1, btStop, panSuccess, btProtection, btRemoveprot, btBlockEOS, btRestoreEOS,
           btHelpRemoval, btAdvanced, pnlWait, btStartmeter})
    c->SetTabOrder(order++);
}

void TfrmScann::ShowGwxState(int state) {
  if (state == gwxInstalled) return;  // as designed: "Stop GWX!" shows
  lblSuccess->SetCaption(state == gwxNotInstalled ? "GWX is not installed" : "GWX is disabled");
  lblSuccess->Announce(false);
  btStop->Hide();
  lblViewlog->Hide();
  panSuccess->Show();
}

void TfrmScann::ShowPassOutcome(bool disabled) {
  if (!disabled) {
    // No smiling face: the words take the panel's width, the log link under them.
    Image1->Hide();
    lblSuccess->SetAlignment(taCenter);
    lblSuccess->SetWordWrap(true);  // first: a wrapping label keeps the box it is given
    lblSuccess->SetDesignBounds(8, 8, 290, 36);
    lblSuccess->SetCaption("GWX could not be disabled. Run Quellix as an administrator.");
    lblViewlog->SetDesignBounds(94, 50, 118, 18);
  }
  panSuccess->Show();
  lblSuccess->Announce(true);
}
