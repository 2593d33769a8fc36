// The ownership tree of the window layer: an owner frees what it owns, and
// every component of an owner hears when one of its siblings goes away, so
// that nothing keeps a reference to a freed component. A component that
// refers to one with another owner asks for a free notification instead.
#pragma once

#include <functional>
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

  // Placed in a form designer rather than running: controls then leave
  // their messages to the framework. Applies to the owned components too.
  bool Designing() const { return designing_; }
  void SetDesigning(bool designing);

  // Called on this component when `component` is inserted into or removed from
  // the owner this component belongs to (or from this component itself), and
  // when a component this one asked for a free notification goes away.
  virtual void Notification(TComponent* component, TOperation operation);

  // Both this component and `component` hear (opRemove) when the other one
  // goes away, whoever owns them.
  void FreeNotification(TComponent* component);

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  bool designing_ = false;
};

// The component palette of a form designer: classes by page. The running
// program never fills it.
struct TComponentClass {
  std::string ClassName;
  std::function<TComponent*(TComponent* owner)> Create;
};
struct TPalettePage {
  std::string Name;
  std::vector<TComponentClass> Classes;
};
void RegisterComponents(const std::string& page, const std::vector<TComponentClass>& classes);
const std::vector<TPalettePage>& ComponentPalette();
