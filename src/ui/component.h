#pragma once

#include <memory>
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

  // A token that expires when this component is freed (see ComponentRef).
  std::weak_ptr<const void> Lifetime() const;

 protected:
  // Lets every ComponentRef to this component know it is gone. Called first thing by the
  // destructors of classes whose teardown may run code of others (freeing children), and by
  // ~Component in any case.
  void ExpireReferences() noexcept { lifetime_.reset(); }

 private:
  // Made on first demand: most components are never referred to this way.
  mutable std::shared_ptr<const void> lifetime_;
  Component* owner_;
  std::vector<Component*> components_;
  std::string name_;
  Platform* platform_ = nullptr;
};

// A reference to a component that knows when the component was freed: Get() gives none from
// then on. For holders that may outlive what they point at (the control the mouse pressed, the
// selected element), where a freed component must never be touched.
template <class T>
class ComponentRef {
 public:
  ComponentRef() = default;
  ComponentRef(T* component)  // NOLINT: a reference is made from a pointer wherever one stands
      : component_(component),
        lifetime_(component != nullptr ? component->Lifetime() : std::weak_ptr<const void>()) {}
  T* Get() const { return lifetime_.expired() ? nullptr : component_; }
  void Reset() { *this = ComponentRef(); }
  bool operator==(const T* other) const { return Get() == other; }

 private:
  T* component_ = nullptr;
  std::weak_ptr<const void> lifetime_;
};

// Compares component names the way the toolkit does: ASCII letters without regard to case.
bool SameName(std::string_view a, std::string_view b);

}  // namespace quirabel::ui
