// The button on a shown form (Xvfb): mouse, keyboard, focus, modal result,
// references to freed images and repaint economy.
#include <gtest/gtest.h>

#include <memory>

#include "controls/Velmorabutton.h"
#include "framework/StdCtrls.h"
#include "framework/WindowTestKit.h"

namespace {

using window_test::HeldKeys;
using window_test::PostKey;
using window_test::Pump;
using window_test::PumpUntil;
using window_test::SpyControl;

struct TestForm {
  std::unique_ptr<TForm> form = std::make_unique<TForm>(nullptr);
  TestForm() {
    form->SetCaption("Quellix button test");
    form->SetClientSize(400, 300);
    form->SetColor(RGB(0xFF, 0xFF, 0xFF));
  }
  TVelmoraButton* Button(int left, int top, int* clicks, TWinControl* parent = nullptr) {
    auto* b = new TVelmoraButton(form.get());
    b->SetLeft(left);
    b->SetTop(top);
    b->SetParent(parent ? parent : form.get());
    b->OnClick = [clicks](TComponent*) { ++*clicks; };
    return b;
  }
  void Show() {
    form->ShowForm();
    Pump();
  }
};

void Send(TWinControl* c, UINT msg, WPARAM w = 0, LPARAM l = MAKELPARAM(10, 10)) {
  ::SendMessageA(c->Handle(), msg, w, l);
}

TEST(VelmoraWindow, PressAndReleaseClickOnceAndClearThePress) {
  TestForm t;
  int clicks = 0;
  TVelmoraButton* b = t.Button(10, 10, &clicks);
  bool pressedDuringClick = false;
  b->OnClick = [&](TComponent* sender) {
    EXPECT_EQ(sender, b);
    pressedDuringClick = b->Pressed();
    ++clicks;
  };
  t.Show();
  Send(b, WM_LBUTTONDOWN, MK_LBUTTON);
  EXPECT_TRUE(b->Pressed());
  EXPECT_TRUE(b->Focused()) << "a press gives the button the focus";
  EXPECT_TRUE(b->Active());
  EXPECT_NE(::GetCapture(), b->Handle()) << "the button does not hold the mouse";
  EXPECT_EQ(clicks, 0);
  Send(b, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(pressedDuringClick);
  EXPECT_FALSE(b->Pressed());

  // A release over the button clicks even when the press was elsewhere.
  Send(b, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 2);
}

TEST(VelmoraWindow, LeavingWhileHeldEndsThePressAndReleasingOutsideDoesNotClick) {
  TestForm t;
  int clicks = 0;
  TVelmoraButton* b = t.Button(10, 10, &clicks);
  t.Show();
  Send(b, WM_MOUSEMOVE);
  EXPECT_TRUE(b->Hovered());
  Send(b, WM_LBUTTONDOWN, MK_LBUTTON);
  ASSERT_TRUE(b->Pressed());
  Send(b, WM_MOUSELEAVE);
  EXPECT_FALSE(b->Pressed());
  EXPECT_FALSE(b->Hovered());
  // The release lands on the form, not on the button.
  Send(t.form.get(), WM_LBUTTONUP, 0, MAKELPARAM(300, 200));
  EXPECT_EQ(clicks, 0);
}

TEST(VelmoraWindow, TheRealPointerDrivesHover) {
  TestForm t;
  int clicks = 0;
  TVelmoraButton* b = t.Button(50, 50, &clicks);
  t.Show();
  RECT rc;
  ::GetWindowRect(b->Handle(), &rc);
  ASSERT_TRUE(::SetCursorPos(rc.left + 20, rc.top + 20));
  Send(b, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  EXPECT_TRUE(b->Hovered());
  EXPECT_EQ(b->FaceImage(), b->ImageHover());
  Send(b, WM_LBUTTONDOWN, MK_LBUTTON);
  ::GetWindowRect(t.form->Handle(), &rc);
  ASSERT_TRUE(::SetCursorPos(rc.right + 30, rc.bottom + 30));
  EXPECT_TRUE(PumpUntil([&] { return !b->Hovered(); }, 10000)) << "no mouse leave arrived";
  EXPECT_FALSE(b->Pressed());
  EXPECT_EQ(clicks, 0);
}

TEST(VelmoraWindow, ADoubleClickClicksTwice) {
  TestForm t;
  int clicks = 0;
  TVelmoraButton* b = t.Button(10, 10, &clicks);
  t.Show();
  Send(b, WM_LBUTTONDOWN, MK_LBUTTON);
  Send(b, WM_LBUTTONUP);
  Send(b, WM_LBUTTONDBLCLK, MK_LBUTTON);
  EXPECT_FALSE(b->Pressed()) << "the second press takes the plain path";
  Send(b, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 2);
}

TEST(VelmoraWindow, EnterClicksTheDefaultButtonOnlyWhileNoButtonHasTheFocus) {
  TestForm t;
  int defaultClicks = 0, otherClicks = 0;
  auto* field = new TPanel(t.form.get());  // any control that is not a button
  field->SetBounds(200, 10, 100, 30);
  field->SetParent(t.form.get());
  TVelmoraButton* def = t.Button(10, 10, &defaultClicks);
  def->Default = true;
  TVelmoraButton* other = t.Button(10, 80, &otherClicks);
  t.Show();

  field->SetFocus();
  EXPECT_TRUE(def->Active());
  EXPECT_FALSE(other->Active());
  PostKey(field->Handle(), VK_RETURN);
  Pump();
  EXPECT_EQ(defaultClicks, 1);
  EXPECT_EQ(otherClicks, 0);

  {  // Ctrl+Enter, Shift+Enter: nothing.
    HeldKeys ctrl{VK_CONTROL};
    PostKey(field->Handle(), VK_RETURN);
    Pump();
  }
  {
    HeldKeys shift{VK_SHIFT};
    PostKey(field->Handle(), VK_RETURN);
    Pump();
  }
  ::PostMessageA(field->Handle(), WM_KEYDOWN, VK_RETURN, 0x20000001);  // with Alt
  Pump();
  EXPECT_EQ(defaultClicks, 1);

  // The focus on a button: that button alone answers Enter.
  other->SetFocus();
  EXPECT_FALSE(def->Active());
  EXPECT_TRUE(other->Active());
  PostKey(other->Handle(), VK_RETURN);
  Pump();
  EXPECT_EQ(otherClicks, 1);
  EXPECT_EQ(defaultClicks, 1);
  def->SetFocus();
  PostKey(def->Handle(), VK_RETURN);
  Pump();
  EXPECT_EQ(defaultClicks, 2);
  EXPECT_EQ(otherClicks, 1);

  // Space does nothing.
  PostKey(def->Handle(), VK_SPACE);
  Pump();
  EXPECT_EQ(defaultClicks, 2);
}

TEST(VelmoraWindow, EscapeClicksTheFirstCancelButtonAndGoesNoFurther) {
  TestForm t;
  int hiddenClicks = 0, firstClicks = 0, secondClicks = 0;
  TVelmoraButton* hidden = t.Button(10, 10, &hiddenClicks);
  hidden->Cancel = true;
  hidden->Hide();
  TVelmoraButton* first = t.Button(10, 60, &firstClicks);
  first->Cancel = true;
  TVelmoraButton* second = t.Button(10, 110, &secondClicks);
  second->Cancel = true;
  auto* spy = new SpyControl(t.form.get());
  spy->SetBounds(200, 10, 50, 50);
  spy->SetParent(t.form.get());
  t.Show();
  spy->SetFocus();
  PostKey(spy->Handle(), VK_ESCAPE);
  Pump();
  EXPECT_EQ(hiddenClicks, 0) << "a hidden button cannot take the key";
  EXPECT_EQ(firstClicks, 1);
  EXPECT_EQ(secondClicks, 0);
  EXPECT_EQ(spy->Count(CM_DIALOGKEY), 0) << "offered after it was consumed";
  EXPECT_EQ(spy->Count(WM_KEYDOWN), 0);
}

TEST(VelmoraWindow, AClickHandsTheModalResultToTheFormEvenWhenZero) {
  TestForm t;
  int clicks = 0;
  auto* panel = new TPanel(t.form.get());
  panel->SetBounds(0, 0, 300, 200);
  panel->SetParent(t.form.get());
  TVelmoraButton* b = t.Button(10, 10, &clicks, panel);
  TModalResult seenInHandler = -1;
  b->OnClick = [&](TComponent*) { seenInHandler = t.form->ModalResult; };
  t.Show();
  t.form->ModalResult = 7;
  b->ModalResult = 0;
  Send(b, WM_LBUTTONDOWN, MK_LBUTTON);
  Send(b, WM_LBUTTONUP);
  EXPECT_EQ(t.form->ModalResult, 0);
  EXPECT_EQ(seenInHandler, 0) << "set before OnClick runs";
  b->ModalResult = 2;
  b->Click();
  EXPECT_EQ(t.form->ModalResult, 2);
  // Off any form: the click still fires.
  TVelmoraButton loose(nullptr);
  int looseClicks = 0;
  loose.OnClick = [&](TComponent*) { ++looseClicks; };
  loose.Click();
  EXPECT_EQ(looseClicks, 1);
}

TEST(VelmoraWindow, FreeingAnImageClearsEveryReferenceToIt) {
  TestForm t;
  int clicks = 0;
  TVelmoraButton* b = t.Button(10, 10, &clicks);
  TVelmoraButton* other = t.Button(10, 80, &clicks);
  auto* shared = new TImage(t.form.get());
  shared->Picture()->SetGraphic(window_test::SolidImage(4, 4, RGB(1, 2, 3)));
  auto* kept = new TImage(t.form.get());
  for (TVelmoraButton* button : {b, other}) {
    button->SetImageIcon(shared);
    button->SetImageNormal(shared);
    button->SetImageFocused(shared);
    button->SetImageHover(shared);
    button->SetImagePressed(shared);
    button->SetImageDisabled(kept);
  }
  t.Show();
  delete shared;
  for (TVelmoraButton* button : {b, other}) {
    EXPECT_EQ(button->ImageIcon(), nullptr);
    EXPECT_EQ(button->ImageNormal(), nullptr);
    EXPECT_EQ(button->ImageFocused(), nullptr);
    EXPECT_EQ(button->ImageHover(), nullptr);
    EXPECT_EQ(button->ImagePressed(), nullptr);
    EXPECT_EQ(button->ImageDisabled(), kept);
  }
  b->Repaint();  // draws without it

  // An image owned elsewhere is cleared all the same.
  auto stranger = std::make_unique<TImage>(nullptr);
  b->SetImageHover(stranger.get());
  stranger.reset();
  EXPECT_EQ(b->ImageHover(), nullptr);
}

TEST(VelmoraWindow, SettingAPropertyToItsCurrentValueDoesNotRepaint) {
  TestForm t;
  int clicks = 0;
  TVelmoraButton* b = t.Button(10, 10, &clicks);
  auto* one = new TImage(t.form.get());
  auto* two = new TImage(t.form.get());
  t.Show();
  struct Setter {
    const char* name;
    std::function<void(TImage*, int)> set;
  };
  const Setter setters[] = {
      {"ImageIcon", [&](TImage* i, int) { b->SetImageIcon(i); }},
      {"ImageNormal", [&](TImage* i, int) { b->SetImageNormal(i); }},
      {"ImageFocused", [&](TImage* i, int) { b->SetImageFocused(i); }},
      {"ImageHover", [&](TImage* i, int) { b->SetImageHover(i); }},
      {"ImagePressed", [&](TImage* i, int) { b->SetImagePressed(i); }},
      {"ImageDisabled", [&](TImage* i, int) { b->SetImageDisabled(i); }},
      {"IconIndentLeft", [&](TImage*, int v) { b->SetIconIndentLeft(v); }},
      {"IconIndentRight", [&](TImage*, int v) { b->SetIconIndentRight(v); }},
  };
  auto dirty = [&] {
    RECT r;
    return ::GetUpdateRect(b->Handle(), &r, FALSE) != FALSE;
  };
  for (const Setter& s : setters) {
    s.set(one, 8);
    Pump();
    ASSERT_FALSE(dirty()) << s.name;
    s.set(one, 8);
    EXPECT_FALSE(dirty()) << s.name << ": same value repainted";
    s.set(two, 9);
    EXPECT_TRUE(dirty()) << s.name << ": new value not repainted";
  }
}

TEST(VelmoraWindow, InTheDesignerTheButtonLeavesMessagesToTheFramework) {
  TestForm t;
  int clicks = 0;
  TVelmoraButton* b = t.Button(10, 10, &clicks);
  b->Cancel = true;
  t.Show();
  t.form->SetDesigning(true);
  Send(b, WM_LBUTTONDOWN, MK_LBUTTON);
  Send(b, WM_LBUTTONUP);
  EXPECT_FALSE(b->Pressed());
  EXPECT_EQ(b->Perform(CM_DIALOGKEY, VK_ESCAPE, 1), 0);
  b->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_FALSE(b->Hovered());
  EXPECT_EQ(clicks, 0);
  t.form->SetDesigning(false);
  EXPECT_EQ(b->Perform(CM_DIALOGKEY, VK_ESCAPE, 1), 1);
  EXPECT_EQ(clicks, 1);
}

}  // namespace
