#include "framework/Component.h"

#include <algorithm>

namespace {

void Erase(std::vector<TComponent*>& list, TComponent* component) {
  list.erase(std::remove(list.begin(), list.end(), component), list.end());
}

std::vector<TPalettePage>& Palette() {
  static std::vector<TPalettePage> palette;
  return palette;
}

}  // namespace

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->InsertComponent(this);
}

TComponent::~TComponent() {
  // Whoever asked to hear of this component's end hears it first, while the
  // ownership tree is still whole.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    Erase(other->freeNotifies_, this);
    other->Notification(this, TOperation::opRemove);
  }
  // Owned components go first, newest first, each telling its siblings.
  while (!components_.empty()) delete components_.back();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::SetDesigning(bool designing) {
  designing_ = designing;
  for (TComponent* c : components_) c->SetDesigning(designing);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
      component->freeNotifies_.end())
    component->freeNotifies_.push_back(this);
}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  if (designing_) component->SetDesigning(true);
  for (TComponent* c : components_)
    if (c != component) c->Notification(component, TOperation::opInsert);
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  Erase(components_, component);
  Notification(component, TOperation::opRemove);
  // A handler may free further components; walk a copy.
  const std::vector<TComponent*> rest = components_;
  for (TComponent* c : rest) c->Notification(component, TOperation::opRemove);
}

void RegisterComponents(const std::string& page, const std::vector<TComponentClass>& classes) {
  auto& palette = Palette();
  auto it = std::find_if(palette.begin(), palette.end(),
                         [&](const TPalettePage& p) { return p.Name == page; });
  if (it == palette.end()) it = palette.insert(palette.end(), TPalettePage{page, {}});
  for (const TComponentClass& c : classes) {
    auto same = std::find_if(it->Classes.begin(), it->Classes.end(),
                             [&](const TComponentClass& e) { return e.ClassName == c.ClassName; });
    if (same == it->Classes.end())
      it->Classes.push_back(c);
    else
      *same = c;
  }
}

const std::vector<TPalettePage>& ComponentPalette() { return Palette(); }
