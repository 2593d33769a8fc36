// The main window as built, on a real screen (Xvfb): the window, the
// status-area states, resizing, the Tab key's round, and the link handlers.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <map>
#include <memory>
#include <string>

#include "app/Main.h"
#include "framework/Application.h"
#include "framework/Handles.h"
#include "framework/SysUtils.h"
#include "framework/WindowTestKit.h"
#include "removal/CommandRunner.h"
#include "version.h"

namespace {

using window_test::MessageBoxWatcher;
using window_test::Pump;

const COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kNavy = RGB(0x22, 0x39, 0x66);

struct Window {
  std::unique_ptr<TfrmScann> frm;
  Window() {
    Application->SetTitle("Quellix");
    frm.reset(new TfrmScann(nullptr));
  }
  void Show() {
    ::SetCursorPos(0, 0);  // no button under the pointer
    frm->ShowForm();
    Pump();
  }
};

// The window's place in its parent's client area, as the window system has it.
RECT PlaceOf(TWinControl* control) {
  RECT rc;
  ::GetWindowRect(control->Handle(), &rc);
  ::MapWindowPoints(nullptr, ::GetParent(control->Handle()), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

::testing::AssertionResult At(TWinControl* c, int left, int top, int width, int height) {
  const RECT r = PlaceOf(c);
  if (r.left == left && r.top == top && r.right - r.left == width && r.bottom - r.top == height &&
      c->Left() == left && c->Top() == top && c->Width() == width && c->Height() == height)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << c->Name << " at " << r.left << "," << r.top << " " << r.right - r.left << "x"
         << r.bottom - r.top << " (object: " << c->Left() << "," << c->Top() << " " << c->Width()
         << "x" << c->Height() << "), expected " << left << "," << top << " " << width << "x"
         << height;
}

bool Shows(TWinControl* c) { return c->Showing() && ::IsWindowVisible(c->Handle()); }

// Each control's place, size and caption in every start state is checked on
// the real exe (e2e.window); here the window itself.
TEST(MainWindow, TheWindowIsAsDesigned) {
  Window w;
  TfrmScann* f = w.frm.get();
  char caption[64] = {};
  ::GetWindowTextA(f->Handle(), caption, sizeof(caption));
  EXPECT_STREQ(caption, "Quellix " QUELLIX_VERSION);
  EXPECT_EQ(f->ClientWidth(), 511);
  EXPECT_EQ(f->ClientHeight(), 561);
  EXPECT_NE(::GetWindowLongA(f->Handle(), GWL_STYLE) & WS_THICKFRAME, 0) << "sizeable";
  EXPECT_EQ(::GetWindowLongA(f->Handle(), GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0);
  EXPECT_NE(::SendMessageA(f->Handle(), WM_GETICON, ICON_BIG, 0), 0) << "window icon";
  EXPECT_EQ(f->Color(), kWhite);
  const TFont& font = f->Font();
  EXPECT_EQ(font.Name, "Trebuchet MS");
  EXPECT_EQ(font.Height, -12);
  EXPECT_EQ(font.Style, 0u);
  EXPECT_EQ(font.Color, kNavy);
  EXPECT_EQ(font.Charset, DEFAULT_CHARSET);
  EXPECT_NE(f->Panel2->Caption().find("reeware"), std::string::npos) << "the notice";

  w.Show();
  RECT rc;
  ::GetWindowRect(f->Handle(), &rc);
  EXPECT_NEAR((rc.left + rc.right) / 2, ::GetSystemMetrics(SM_CXSCREEN) / 2, 1) << "centred";
  EXPECT_NEAR((rc.top + rc.bottom) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 1) << "centred";
}

TEST(MainWindow, TheStatusAreaShowsTheStateFoundAtStartAndTheStopProceduresStates) {
  Window w;
  TfrmScann* f = w.frm.get();
  w.Show();
  const int state = f->DetectGwxState();
  EXPECT_EQ(Shows(f->btStop), state == 0);
  EXPECT_EQ(Shows(f->panSuccess), state != 0);
  EXPECT_FALSE(Shows(f->pnlWait));
  if (state != 0) {
    EXPECT_EQ(f->lblSuccess->Caption(), state == 1 ? "GWX is not installed" : "GWX is disabled");
    EXPECT_FALSE(Shows(f->lblViewlog));
    EXPECT_TRUE(Shows(f->lblSuccess));
    EXPECT_TRUE(Shows(f->Image1));
  }
  for (TWinControl* c : std::initializer_list<TWinControl*>{
           f->Panel1, f->lblWhat, f->lblReadme, f->lblFeedback, f->Label2, f->lblEOSStatus,
           f->Label3, f->btHelpRemoval, f->Label4, f->btAdvanced, f->Label5, f->btStartmeter,
           f->Panel2})
    EXPECT_TRUE(Shows(c)) << c->Name;
  EXPECT_FALSE(Shows(f->panImages));
  EXPECT_FALSE(Shows(f->panSteps));

  // Stopping, from the installed layout: the wait panel docked under the top
  // panel over the status area, its contents at their designed places.
  f->panSuccess->Hide();
  f->btStop->Hide();
  f->pnlWait->SetAlign(TAlign::alTop);
  f->pnlWait->Show();
  Pump();
  EXPECT_TRUE(Shows(f->pnlWait));
  EXPECT_TRUE(At(f->pnlWait, 0, 41, 511, 110));
  EXPECT_TRUE(At(f->Label1, 204, 13, f->Label1->Width(), f->Label1->Height())) << "sized to its text";
  EXPECT_TRUE(At(f->btSopWait, 152, 36, 195, 56));
  EXPECT_TRUE(Shows(f->btSopWait));
  EXPECT_TRUE(At(f->Panel1, 0, 0, 511, 41));

  // "Stop Waiting..." clicked: the flag is up and the panel gone for good.
  g_StopWaiting = false;
  ::SendMessageA(f->btSopWait->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  ::SendMessageA(f->btSopWait->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_TRUE(g_StopWaiting);
  g_StopWaiting = false;
  EXPECT_FALSE(Shows(f->pnlWait));
  EXPECT_FALSE(Shows(f->btStop));
  EXPECT_FALSE(Shows(f->panSuccess));
  EXPECT_EQ(f->pnlWait->Align(), TAlign::alTop) << "it keeps its docking";
}

TEST(MainWindow, ResizingMovesOnlyTheBottomPanelAndStretchesTopAndBottom) {
  Window w;
  TfrmScann* f = w.frm.get();
  w.Show();
  std::map<TWinControl*, RECT> before;
  for (TWinControl* c : f->TabOrderList()) before[c] = PlaceOf(c);

  for (SIZE size : {SIZE{700, 650}, SIZE{400, 500}}) {
    f->SetClientSize(size.cx, size.cy);
    Pump();
    ASSERT_EQ(f->ClientWidth(), size.cx);
    EXPECT_TRUE(At(f->Panel1, 0, 0, size.cx, 41));
    EXPECT_TRUE(At(f->Panel2, 0, size.cy - 37, size.cx, 37));
    for (const auto& [control, place] : before) {
      if (control == f->Panel1 || control == f->Panel2) continue;
      const RECT now = PlaceOf(control);
      EXPECT_TRUE(now.left == place.left && now.top == place.top && now.right == place.right &&
                  now.bottom == place.bottom)
          << control->Name << " moved at " << size.cx << "x" << size.cy;
    }
  }
  // Docked, the wait panel follows the width too.
  f->pnlWait->SetAlign(TAlign::alTop);
  f->pnlWait->Show();
  f->SetClientSize(600, 561);
  Pump();
  EXPECT_TRUE(At(f->pnlWait, 0, 41, 600, 110));
}

// The size `text` takes in `font`, as GDI really maps the face, drawn with
// `format` in a box `width` wide.
SIZE TextExtent(const TFont& font, const std::string& text, UINT format, int width) {
  UniqueDc dc(::CreateCompatibleDC(nullptr));
  ScopedSelectObject select(dc.get(), font.Handle());
  RECT r = {0, 0, width, 0};
  ::DrawTextA(dc.get(), text.c_str(), -1, &r, format | DT_CALCRECT);
  return {r.right, r.bottom};
}

// At 96 and 144 pixels per inch; in Trebuchet MS as this prefix maps it (to
// the narrow face its set-up names for it) and in a face no system has,
// which GDI maps as plain Wine maps a missing Trebuchet MS (to a wider one).
TEST(MainWindow, EveryCaptionFitsItsBoxInTheFontGdiPicksAtAnyResolution) {
  for (int ppi : {96, 144})
    for (const char* face : {"Trebuchet MS", "Quellix No Such Face"}) {
      SCOPED_TRACE(std::string(face) + " at " + std::to_string(ppi));
      Window w;
      TfrmScann* f = w.frm.get();
      std::vector<TWinControl*> controls = f->TabOrderList();
      controls.push_back(f);
      for (TWinControl* c : controls) {
        TFont font = c->Font();
        font.Name = face;
        if (!c->ParentFont() || c == f) c->SetFont(font);
      }
      f->lblSuccess->SetCaption("GWX has been successfully disabled!");  // its longest
      f->SetPixelsPerInch(ppi);
      EXPECT_EQ(f->ClientWidth(), ::MulDiv(511, ppi, 96));
      EXPECT_EQ(f->ClientHeight(), ::MulDiv(561, ppi, 96));
      EXPECT_EQ(f->Font().Height, -::MulDiv(12, ppi, 96));
      for (TWinControl* c : controls) {
        if (c->Caption().empty() || c == f) continue;
        RECT room = {0, 0, c->Width(), c->Height()};
        UINT format = DT_SINGLELINE;
        if (auto* label = dynamic_cast<TLabel*>(c)) {
          format = LabelTextFormat(label->Alignment(), label->WordWrap());
          EXPECT_LE(c->Left() + c->Width(), c->Parent()->ClientWidth()) << c->Name << " in its parent";
          EXPECT_LE(c->Top() + c->Height(), c->Parent()->ClientHeight()) << c->Name << " in its parent";
        } else if (auto* button = dynamic_cast<TVelmoraButton*>(c)) {
          const TGraphic* icon = GetGraphic(button->ImageIcon());
          const SIZE iconSize = icon ? SIZE{icon->Width(), icon->Height()} : SIZE{0, 0};
          if (icon) {
            EXPECT_EQ(iconSize.cx, ::MulDiv(32, ppi, 96)) << c->Name << "'s icon";
          }
          const TButtonFaceLayout layout = LayoutButtonFace(
              room, false, icon ? &iconSize : nullptr, true, button->IconIndentLeft(),
              button->IconIndentRight());
          room = layout.CaptionRect;
          format = layout.CaptionFormat;
        } else {
          ::InflateRect(&room, -1, -1);  // a panel's bevel
        }
        const SIZE text = TextExtent(c->Font(), c->Caption(), format, room.right - room.left);
        EXPECT_LE(text.cx, room.right - room.left) << c->Name << ": " << c->Caption();
        EXPECT_LE(text.cy, room.bottom - room.top) << c->Name << ": " << c->Caption();
      }
    }
}

TEST(MainWindow, TabGoesThroughTheButtonsAndLinksInTheirOrderSkippingHiddenOnes) {
  Window w;
  TfrmScann* f = w.frm.get();
  const std::vector<TWinControl*> designed = {
      f->lblWhat,      f->lblReadme,    f->lblFeedback, f->btStop,       f->lblViewlog,
      f->btProtection, f->btRemoveprot, f->btBlockEOS,  f->btRestoreEOS, f->btHelpRemoval,
      f->btAdvanced,   f->btSopWait,    f->btStartmeter};
  std::vector<TWinControl*> stops;
  for (TWinControl* c : f->TabOrderList())
    if (c->TabStop()) stops.push_back(c);
  EXPECT_EQ(stops, designed);

  w.Show();
  std::vector<TWinControl*> expected;
  for (TWinControl* c : designed)
    if (c->CanFocus()) expected.push_back(c);
  ASSERT_GE(expected.size(), 5u);
  EXPECT_EQ(::GetFocus(), expected[3]->Handle()) << "the first button has the focus";
  for (size_t i = 4; i <= expected.size() + 3; ++i) {
    window_test::PostKey(::GetFocus(), VK_TAB);
    Pump();
    TWinControl* now = expected[i % expected.size()];
    EXPECT_EQ(::GetFocus(), now->Handle()) << "step " << i << ": expected " << now->Name;
  }
}

// Moves a file beside the test program out of the way for the scope.
class FileAside {
 public:
  explicit FileAside(std::string path) : path_(std::move(path)) {
    moved_ = ::MoveFileExA(path_.c_str(), (path_ + ".aside").c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  ~FileAside() {
    if (moved_) ::MoveFileExA((path_ + ".aside").c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  FileAside(const FileAside&) = delete;
  FileAside& operator=(const FileAside&) = delete;

 private:
  std::string path_;
  BOOL moved_;
};

void ClickOn(TWinControl* c) {
  ::SendMessageA(c->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  ::SendMessageA(c->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

TEST(MainLinks, ViewExecutionLogWithoutTheLogSaysWhereItLooked) {
  const std::string log = ExecutableFolder() + "log.txt";
  FileAside aside(log);
  ASSERT_FALSE(PathExists(log));
  Window w;
  TfrmScann* f = w.frm.get();
  f->panSuccess->Show();  // as in the stopped state
  f->lblViewlog->Show();
  w.Show();
  MessageBoxWatcher watcher;
  ClickOn(f->lblViewlog);
  const window_test::SeenMessageBox& box = watcher.Join();
  ASSERT_TRUE(box.seen) << "no message box";
  EXPECT_EQ(box.caption, "Quellix");
  EXPECT_EQ(box.text, "File does not exist:\n" + log);
  EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(box.hasIcon);
}

TEST(MainLinks, ReadMeWithoutTheFileDoesNothing) {
  FileAside aside(ExecutableFolder() + "readme.txt");
  Window w;
  w.Show();
  MessageBoxWatcher watcher(2000);
  ClickOn(w.frm->lblReadme);
  Pump();
  EXPECT_FALSE(watcher.Join().seen) << "a message appeared";
}

struct UrlParts {
  std::string scheme, host, path, query;
};

UrlParts Crack(const std::string& url) {
  char scheme[16] = {}, host[128] = {}, path[256] = {}, extra[256] = {};
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszScheme = scheme;
  parts.dwSchemeLength = sizeof(scheme);
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof(host);
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof(path);
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = sizeof(extra);
  EXPECT_TRUE(::InternetCrackUrlA(url.c_str(), 0, 0, &parts)) << url;
  return {scheme, host, path, extra};
}

// "?a=1&b=2" -> {"a=1", "b=2"}
std::vector<std::string> QueryPairs(const std::string& query) {
  std::vector<std::string> pairs;
  if (query.empty()) return pairs;
  EXPECT_EQ(query[0], '?');
  size_t start = 1;
  for (;;) {
    const size_t amp = query.find('&', start);
    pairs.push_back(query.substr(start, amp - start));
    if (amp == std::string::npos) break;
    start = amp + 1;
  }
  return pairs;
}

TEST(MainLinks, WebAddressesCarryTheirPathsAndQueryKeys) {
  const UrlParts gwx = Crack(WebPageAddress(TWebPage::WhatIsGwx));
  const UrlParts cleanwarden = Crack(WebPageAddress(TWebPage::Cleanwarden));
  const UrlParts adguard = Crack(WebPageAddress(TWebPage::AdGuard));
  const UrlParts startmeter = Crack(WebPageAddress(TWebPage::Startmeter));
  for (const UrlParts* u : {&gwx, &cleanwarden, &adguard, &startmeter})
    EXPECT_EQ(u->scheme, "https");

  EXPECT_EQ(gwx.path, "/blog/what-is-gwx-gwx-exe");
  const std::vector<std::string> keys = QueryPairs(gwx.query);
  ASSERT_EQ(keys.size(), 2u) << gwx.query;
  EXPECT_EQ(keys[0], "pk_campaign=gwx");
  EXPECT_EQ(keys[1].rfind("pk_kwd=", 0), 0u);
  EXPECT_NE(keys[1].find("quellix"), std::string::npos) << "the keyword names the program";

  EXPECT_EQ(cleanwarden.host, gwx.host) << "the maker's site";
  EXPECT_GE(cleanwarden.path.size(), 11u);
  EXPECT_EQ(cleanwarden.path.substr(cleanwarden.path.size() - 11), "/index.html");
  EXPECT_EQ(QueryPairs(cleanwarden.query),
            (std::vector<std::string>{"force=1", keys[0], keys[1]}));

  EXPECT_NE(adguard.host.find("adguard"), std::string::npos);
  const std::vector<std::string> aid = QueryPairs(adguard.query);
  ASSERT_EQ(aid.size(), 1u);
  EXPECT_EQ(aid[0].rfind("aid=", 0), 0u);
  EXPECT_GT(aid[0].size(), 4u);
  EXPECT_EQ(aid[0].find_first_not_of("0123456789", 4), std::string::npos) << "a partner number";

  EXPECT_EQ(startmeter.host, gwx.host);
  EXPECT_TRUE(startmeter.query.empty());
  EXPECT_NE(startmeter.path, "/");
  EXPECT_EQ(startmeter.path.back(), '/') << "the product's folder";
}

}  // namespace
