#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "framework/Component.h"

namespace {

// Remembers what it heard, and forgets a component when told it is gone.
class Listener : public TComponent {
 public:
  using TComponent::TComponent;
  TComponent* watched = nullptr;
  std::vector<std::pair<TComponent*, TOperation>> heard;
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    heard.emplace_back(c, op);
    if (op == TOperation::opRemove && c == watched) watched = nullptr;
  }
  bool Heard(TComponent* c, TOperation op) const {
    return std::find(heard.begin(), heard.end(), std::make_pair(c, op)) != heard.end();
  }
};

TEST(Component, SiblingsAndFreeNotifiedComponentsHearOfAnEnd) {
  TComponent owner(nullptr);
  auto* listener = new Listener(&owner);
  auto* sibling = new TComponent(&owner);
  EXPECT_TRUE(listener->Heard(sibling, TOperation::opInsert));
  listener->watched = sibling;
  delete sibling;
  EXPECT_TRUE(listener->Heard(sibling, TOperation::opRemove));
  EXPECT_EQ(listener->watched, nullptr);

  // A component owned elsewhere is only heard of through a free notification.
  auto stranger = std::make_unique<TComponent>(nullptr);
  TComponent* strangerAddress = stranger.get();
  listener->watched = strangerAddress;
  listener->FreeNotification(stranger.get());
  listener->FreeNotification(stranger.get());  // asking twice is asking once
  stranger.reset();
  EXPECT_EQ(listener->watched, nullptr);
  EXPECT_EQ(std::count(listener->heard.begin(), listener->heard.end(),
                       std::make_pair(strangerAddress, TOperation::opRemove)),
            1);
}

TEST(Component, TheLinkGoesBothWaysAndEndsWithEitherSide) {
  // The asking side goes first: the other hears of it once, and its own end
  // later must not reach the freed one.
  auto other = std::make_unique<Listener>(nullptr);
  {
    Listener listener(nullptr);
    listener.FreeNotification(other.get());
  }
  EXPECT_EQ(other->heard.size(), 1u);
  other.reset();

  // Either side hears of the other.
  Listener a(nullptr);
  auto b = std::make_unique<Listener>(nullptr);
  b->FreeNotification(&a);
  b->watched = &a;
  Listener* bAddress = b.get();
  a.watched = bAddress;
  b.reset();
  EXPECT_EQ(a.watched, nullptr);
}

TEST(Component, DesignStateReachesOwnedAndLaterComponents) {
  TComponent form(nullptr);
  auto* early = new TComponent(&form);
  form.SetDesigning(true);
  auto* late = new TComponent(&form);
  EXPECT_TRUE(early->Designing());
  EXPECT_TRUE(late->Designing());
  form.SetDesigning(false);
  EXPECT_FALSE(early->Designing());
  EXPECT_FALSE(late->Designing());
}

}  // namespace
