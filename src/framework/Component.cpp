#include "framework/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->InsertComponent(this);
}

TComponent::~TComponent() {
  // Owned components go first, newest first, each telling its siblings.
  while (!components_.empty()) delete components_.back();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  for (TComponent* c : components_)
    if (c != component) c->Notification(component, TOperation::opInsert);
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  components_.erase(std::remove(components_.begin(), components_.end(), component),
                    components_.end());
  Notification(component, TOperation::opRemove);
  // A handler may free further components; walk a copy.
  const std::vector<TComponent*> rest = components_;
  for (TComponent* c : rest) c->Notification(component, TOperation::opRemove);
}
