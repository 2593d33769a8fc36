// The ownership tree of the window layer: an owner frees what it owns, and
// every component of an owner hears when one of its siblings goes away, so
// that nothing keeps a reference to a freed component.
#pragma once

#include <string>
#include <vector>

enum class TOperation { opInsert, opRemove };

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_[static_cast<size_t>(index)]; }

  std::string Name;
  int Tag = 0;

  // Called on this component when `component` is inserted into or removed from
  // the owner this component belongs to (or from this component itself).
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_;
  std::vector<TComponent*> components_;
};
