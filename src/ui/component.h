#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quirabel::ui {

class Platform;

// A named part of a window. The owner frees the components it owns when it is freed; a component
// freed on its own leaves its owner's list. Create owned components with new and an owner, or hold
// an owner-less one in a std::unique_ptr.
class Component {
 public:
  explicit Component(Component* owner = nullptr);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  Component* Owner() const { return owner_; }

  // An owned component by name, compared without regard to ASCII case; none when absent.
  Component* FindComponent(std::string_view name) const;
  std::size_t ComponentCount() const { return components_.size(); }
  Component* Components(std::size_t index) const { return components_.at(index); }

  // The platform services (dialogs, message boxes, clock) of the application this component
  // belongs to: set on the root, found by walking up the owners. None outside an application.
  void SetPlatform(Platform* platform) { platform_ = platform; }
  Platform* GetPlatform() const;

  // The class name, as messages and parent rules name it.
  virtual std::string ClassName() const { return "TComponent"; }

 private:
  Component* owner_;
  std::vector<Component*> components_;
  std::string name_;
  Platform* platform_ = nullptr;
};

// Compares component names the way the toolkit does: ASCII letters without regard to case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace quirabel::ui
