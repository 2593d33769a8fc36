// The show/hide/move of a protection pair, on real child windows of a form
// that is never shown, and the main window's handlers on the real registry.
#include <gtest/gtest.h>

#include <memory>

#include "LocalMachine.h"
#include "app/Main.h"
#include "blocking/Blocking.h"
#include "blocking/ProtectionPair.h"
#include "framework/Form.h"
#include "framework/Seam.h"

namespace {

using namespace blocking_test;

// Where the window itself stands in its parent, and whether it has WS_VISIBLE
// (the form is never shown, so IsWindowVisible would say no for all).
struct Placed {
  bool visible;
  int left, top, width, height;
  bool operator==(const Placed& o) const {
    return visible == o.visible && left == o.left && top == o.top && width == o.width &&
           height == o.height;
  }
};

std::ostream& operator<<(std::ostream& os, const Placed& p) {
  return os << (p.visible ? "visible" : "hidden") << " at " << p.left << "," << p.top << " "
            << p.width << "x" << p.height;
}

Placed WindowOf(TWinControl* control) {
  HWND w = control->Handle();
  RECT rc;
  ::GetWindowRect(w, &rc);
  POINT tl = {rc.left, rc.top};
  ::ScreenToClient(::GetParent(w), &tl);
  const bool visible = (::GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0;
  // The control's own view must agree with its window.
  EXPECT_EQ(control->Visible(), visible) << control->Name;
  EXPECT_EQ(control->Left(), tl.x) << control->Name;
  EXPECT_EQ(control->Top(), tl.y) << control->Name;
  return Placed{visible, tl.x, tl.y, rc.right - rc.left, rc.bottom - rc.top};
}

TEST(ProtectionPair, ExactlyOneButtonShowsAndTheBlockedOneTakesItsPartnersPlace) {
  struct Start { bool unblockedVisible, blockedVisible; };
  const Start starts[] = {{true, false}, {false, true}, {true, true}, {false, false}};
  for (const Start& start : starts) {
    for (bool blocked : {true, false}) {
      SCOPED_TRACE(testing::Message() << "start " << start.unblockedVisible
                                      << start.blockedVisible << ", blocked " << blocked);
      TForm form(nullptr);
      form.SetClientSize(500, 500);
      form.Handle();
      auto* unblocked = new TWinControl(&form);
      unblocked->Name = "unblocked";
      unblocked->SetBounds(165, 143, 267, 67);
      unblocked->SetVisible(start.unblockedVisible);
      unblocked->SetParent(&form);
      auto* blockedButton = new TWinControl(&form);
      blockedButton->Name = "blocked";
      blockedButton->SetBounds(20, 400, 200, 50);  // designed elsewhere on purpose
      blockedButton->SetVisible(start.blockedVisible);
      blockedButton->SetParent(&form);

      ShowProtectionPair(blocked, unblocked, blockedButton);

      if (blocked) {
        EXPECT_EQ(WindowOf(unblocked), (Placed{false, 165, 143, 267, 67}));
        EXPECT_EQ(WindowOf(blockedButton), (Placed{true, 165, 143, 200, 50}))
            << "moved onto its partner, its size kept";
      } else {
        EXPECT_EQ(WindowOf(unblocked), (Placed{true, 165, 143, 267, 67}));
        EXPECT_EQ(WindowOf(blockedButton), (Placed{false, 20, 400, 200, 50}))
            << "hidden where it was";
      }
    }
  }
}

// --- the main window's handlers --------------------------------------------------

// RegSetValueExA failing from the second call on.
int g_calls = 0;
LONG WINAPI FailFromSecond(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size) {
  if (++g_calls >= 2) return ERROR_ACCESS_DENIED;
  return ::RegSetValueExA(key, name, reserved, type, data, size);
}

class ProtectionHandlers : public LocalMachineKeys {
 protected:
  void TearDown() override {
    form_.reset();
    LocalMachineKeys::TearDown();
  }
  TfrmScann* NewForm() {
    form_.reset(new TfrmScann(nullptr));
    return form_.get();
  }
  // Which button of each pair shows, checked against the windows themselves:
  // exactly one per pair, in the place of the "Not protected!" button.
  void ExpectPairs(bool gwxBlocked, bool eosBlocked) {
    TfrmScann* f = form_.get();
    struct Pair { TWinControl* unblocked; TWinControl* blocked; bool isBlocked; };
    for (const Pair& p : {Pair{f->btProtection, f->btRemoveprot, gwxBlocked},
                          Pair{f->btBlockEOS, f->btRestoreEOS, eosBlocked}}) {
      const Placed shown = WindowOf(p.isBlocked ? p.blocked : p.unblocked);
      const Placed hidden = WindowOf(p.isBlocked ? p.unblocked : p.blocked);
      EXPECT_TRUE(shown.visible);
      EXPECT_FALSE(hidden.visible);
      if (p.isBlocked) {
        EXPECT_EQ(shown.left, hidden.left);
        EXPECT_EQ(shown.top, hidden.top);
      }
    }
  }
  std::unique_ptr<TfrmScann> form_;
};

TEST_F(ProtectionHandlers, TheNewWindowShowsWhatTheRegistryHolds) {
  struct Case { bool gwx, eos; };
  for (const Case& c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
    SCOPED_TRACE(testing::Message() << "gwx " << c.gwx << ", eos " << c.eos);
    RemoveAll();
    if (c.gwx) PutString(Entry("GWX.EXE"), "Debugger", "elsewhere.exe");
    if (c.eos)
      for (const std::string& name : kEosNames) PutString(Entry(name), "Debugger", "*");
    TfrmScann* form = NewForm();
    EXPECT_EQ(form->IsGwxProtected(), c.gwx);
    EXPECT_EQ(form->IsEosProtected(), c.eos);
    ExpectPairs(c.gwx, c.eos);
  }
}

TEST_F(ProtectionHandlers, EachClickChangesTheRegistryAndTurnsItsPairOnly) {
  TfrmScann* form = NewForm();
  ExpectPairs(false, false);
  // Moved away, the blocked-state buttons must come back to their partners.
  form->btRemoveprot->SetBounds(0, 0, 267, 67);
  form->btRestoreEOS->SetBounds(0, 300, 267, 67);

  form->btProtectionClick(form->btProtection);
  EXPECT_EQ(Read(Entry("GWX.EXE"), "Debugger").data, SzBytes(ExpectedDebuggerCommand()));
  ExpectPairs(true, false);
  EXPECT_EQ(WindowOf(form->btRemoveprot).top, 143);

  form->btBlockEOSClick(form->btBlockEOS);
  EXPECT_TRUE(EosBlocked());
  ExpectPairs(true, true);
  EXPECT_EQ(WindowOf(form->btRestoreEOS).top, 216);

  form->btRemoveprotClick(form->btRemoveprot);
  for (const std::string& name : kGwxNames) EXPECT_FALSE(KeyExists(Entry(name))) << name;
  ExpectPairs(false, true);

  form->btRestoreEOSClick(form->btRestoreEOS);
  for (const std::string& name : kEosNames) EXPECT_FALSE(KeyExists(Entry(name))) << name;
  ExpectPairs(false, false);
}

TEST_F(ProtectionHandlers, TheRefreshRunsAfterAProtectThatFailedHalfway) {
  TfrmScann* form = NewForm();
  ExpectPairs(false, false);
  g_calls = 0;
  {
    ScopedSeam<decltype(Seam().RegSetValueExA)> failing(Seam().RegSetValueExA, &FailFromSecond);
    form->btProtectionClick(nullptr);
  }
  // GWX.EXE got its value before GWXUX.EXE failed: the window must say so.
  EXPECT_TRUE(Read(Entry("GWX.EXE"), "Debugger").present);
  EXPECT_FALSE(Read(Entry("GWXUX.EXE"), "Debugger").present);
  EXPECT_FALSE(Read(kWindowsUpdate, "DisableOSUpgrade", KEY_WOW64_64KEY).present);
  ExpectPairs(true, false);
}

}  // namespace
