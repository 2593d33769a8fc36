// A form's focus tracking, Tab key round and dialog keys, and the plain
// message box, on real windows.
#include <gtest/gtest.h>

#include <memory>

#include "framework/Application.h"
#include "framework/Form.h"
#include "framework/StdCtrls.h"
#include "framework/WindowTestKit.h"

namespace {

using window_test::HeldKeys;
using window_test::MessageBoxWatcher;
using window_test::PostKey;
using window_test::Pump;
using window_test::SpyControl;

struct TestForm {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  TestForm() {
    form->SetCaption("Quellix keyboard test");
    form->SetClientSize(400, 300);
  }
  SpyControl* Spy(TWinControl* parent, int left, int top, bool tabStop = true) {
    auto* spy = new SpyControl(form.get());
    spy->SetBounds(left, top, 40, 20);
    spy->SetTabStop(tabStop);
    spy->SetParent(parent);
    return spy;
  }
};

TEST(FormKeyboard, EveryControlHearsWhichControlGotTheFocus) {
  TestForm t;
  SpyControl* a = t.Spy(t.form.get(), 0, 0);
  auto* panel = new TPanel(t.form.get());
  panel->SetBounds(0, 50, 200, 100);
  panel->SetParent(t.form.get());
  SpyControl* nested = t.Spy(panel, 10, 10);
  SpyControl* hidden = t.Spy(t.form.get(), 100, 0);
  hidden->Hide();
  t.form->ShowForm();
  Pump();

  nested->SetFocus();
  EXPECT_EQ(t.form->ActiveControl(), nested);
  for (SpyControl* s : {a, nested, hidden}) {
    ASSERT_NE(s->Last(CM_FOCUSCHANGED), nullptr);
    EXPECT_EQ(s->Last(CM_FOCUSCHANGED)->lParam, reinterpret_cast<LPARAM>(nested));
  }
  const int before = a->Count(CM_FOCUSCHANGED);
  nested->SetFocus();  // no move, no news
  EXPECT_EQ(a->Count(CM_FOCUSCHANGED), before);
  a->SetFocus();
  EXPECT_EQ(hidden->Last(CM_FOCUSCHANGED)->lParam, reinterpret_cast<LPARAM>(a));

  // The focused control is hidden: the next stop takes the focus, and says so.
  a->Hide();
  EXPECT_EQ(::GetFocus(), nested->Handle());
  EXPECT_EQ(a->Last(CM_FOCUSCHANGED)->lParam, reinterpret_cast<LPARAM>(nested));
  // A control that goes away is forgotten.
  delete a;
  EXPECT_NE(t.form->ActiveControl(), a);
}

TEST(FormKeyboard, TabGoesRoundInTabOrderSkippingWhatCannotTakeTheFocus) {
  TestForm t;
  TForm* f = t.form.get();
  SpyControl* first = t.Spy(f, 0, 0);
  auto* panel = new TPanel(f);
  panel->SetBounds(0, 100, 200, 100);
  panel->SetParent(f);
  SpyControl* inPanel = t.Spy(panel, 0, 0);
  SpyControl* last = t.Spy(f, 50, 0);
  SpyControl* noStop = t.Spy(f, 100, 0, false);
  SpyControl* disabled = t.Spy(f, 150, 0);
  disabled->SetEnabled(false);
  // Round: last, first, panel (inPanel), noStop, disabled.
  last->SetTabOrder(0);
  EXPECT_EQ(first->TabOrder(), 1);
  EXPECT_EQ(panel->TabOrder(), 2);
  EXPECT_EQ(f->TabOrderList(),
            (std::vector<TWinControl*>{last, first, panel, inPanel, noStop, disabled}));

  EXPECT_EQ(f->FindNextControl(nullptr, true), nullptr) << "nothing takes the focus on a hidden form";
  f->ShowForm();
  Pump();
  EXPECT_EQ(::GetFocus(), last->Handle()) << "the first show focuses the first stop";
  EXPECT_EQ(f->FindNextControl(nullptr, true), last);
  EXPECT_EQ(f->FindNextControl(last, true), first);
  EXPECT_EQ(f->FindNextControl(first, true), inPanel);
  EXPECT_EQ(f->FindNextControl(inPanel, true), last) << "round again";
  EXPECT_EQ(f->FindNextControl(last, false), inPanel);
  panel->Hide();
  EXPECT_EQ(f->FindNextControl(first, true), last);
  panel->Show();

  // With the keyboard: Tab moves on, Shift+Tab back.
  last->SetFocus();
  PostKey(last->Handle(), VK_TAB);
  Pump();
  EXPECT_EQ(::GetFocus(), first->Handle());
  EXPECT_EQ(first->Count(WM_KEYDOWN), 0) << "the form took the Tab key";
  PostKey(first->Handle(), VK_TAB);
  Pump();
  EXPECT_EQ(::GetFocus(), inPanel->Handle());
  {
    HeldKeys shift{VK_SHIFT};
    PostKey(inPanel->Handle(), VK_TAB);
    Pump();
  }
  EXPECT_EQ(::GetFocus(), first->Handle());
}

TEST(FormKeyboard, DialogKeysAreOfferedInOrderUntilOneIsConsumed) {
  TestForm t;
  SpyControl* focus = t.Spy(t.form.get(), 0, 0);
  SpyControl* declines = t.Spy(t.form.get(), 50, 0);
  SpyControl* takes = t.Spy(t.form.get(), 100, 0);
  SpyControl* after = t.Spy(t.form.get(), 150, 0);
  takes->consumeDialogKeys = true;
  t.form->ShowForm();
  focus->SetFocus();
  Pump();

  PostKey(focus->Handle(), VK_ESCAPE);
  Pump();
  EXPECT_EQ(focus->Count(CM_DIALOGKEY), 1);
  EXPECT_EQ(declines->Count(CM_DIALOGKEY), 1);
  ASSERT_EQ(takes->Count(CM_DIALOGKEY), 1);
  EXPECT_EQ(takes->Last(CM_DIALOGKEY)->wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(after->Count(CM_DIALOGKEY), 0) << "offered after it was consumed";
  EXPECT_EQ(focus->Count(WM_KEYDOWN), 0) << "a consumed key is not delivered";

  // Nobody takes it: the key goes on to the focused control.
  takes->consumeDialogKeys = false;
  PostKey(focus->Handle(), VK_RETURN);
  Pump();
  EXPECT_EQ(after->Count(CM_DIALOGKEY), 1);
  EXPECT_EQ(focus->Count(WM_KEYDOWN), 1);

  // Other keys are no dialog keys.
  PostKey(focus->Handle(), VK_SPACE);
  Pump();
  EXPECT_EQ(after->Count(CM_DIALOGKEY), 1);
  EXPECT_EQ(focus->Count(WM_KEYDOWN), 2);

  // A control that wants every key keeps Enter and Escape.
  focus->dialogCode = DLGC_WANTALLKEYS;
  takes->consumeDialogKeys = true;
  PostKey(focus->Handle(), VK_RETURN);
  Pump();
  EXPECT_EQ(takes->Count(CM_DIALOGKEY), 2);
  EXPECT_EQ(focus->Count(WM_KEYDOWN), 3);
}

TEST(FormKeyboard, AFailingDialogKeyHandlerIsReportedNotThrown) {
  Application->SetTitle("Quellix");
  TestForm t;
  SpyControl* focus = t.Spy(t.form.get(), 0, 0);
  focus->throwOnDialogKey = true;
  t.form->ShowForm();
  focus->SetFocus();
  Pump();
  MessageBoxWatcher watcher;
  PostKey(focus->Handle(), VK_ESCAPE);
  EXPECT_NO_THROW(Pump());
  const window_test::SeenMessageBox& box = watcher.Join();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.caption, "Quellix");
  EXPECT_EQ(box.text, "dialog key failed.");
}

TEST(MessageBox, PlainMessageHasTheTitleOneOkNoIconAndSitsMidScreen) {
  Application->SetTitle("Quellix");
  MessageBoxWatcher watcher;
  Application->MessageBox("File does not exist:\nC:\\Quellix\\log.txt");
  const window_test::SeenMessageBox& box = watcher.Join();
  ASSERT_TRUE(box.seen) << "no message box appeared";
  EXPECT_EQ(box.caption, "Quellix");
  EXPECT_EQ(box.text, "File does not exist:\nC:\\Quellix\\log.txt");
  EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
  EXPECT_FALSE(box.hasIcon);
  const int cx = (box.rect.left + box.rect.right) / 2;
  const int cy = (box.rect.top + box.rect.bottom) / 2;
  EXPECT_NEAR(cx, ::GetSystemMetrics(SM_CXSCREEN) / 2, 2);
  EXPECT_NEAR(cy, ::GetSystemMetrics(SM_CYSCREEN) / 2, 40);
}

}  // namespace
