#include "ui/component.h"

#include <algorithm>

namespace quirabel::ui {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

Component::Component(Component* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->components_.push_back(this);
}

Component::~Component() {
  ExpireReferences();
  // Free what this component owns, newest first; each leaves the list as it goes.
  while (!components_.empty()) delete components_.back();
  if (owner_ != nullptr) {
    // From the back: components are mostly freed newest first, and a page of many thousand
    // elements must not cost a scan of the whole list for each.
    auto& siblings = owner_->components_;
    const auto found = std::find(siblings.rbegin(), siblings.rend(), this);
    if (found != siblings.rend()) siblings.erase(std::next(found).base());
  }
}

std::weak_ptr<const void> Component::Lifetime() const {
  if (!lifetime_) lifetime_ = std::make_shared<char>(0);
  return lifetime_;
}

Component* Component::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (Component* c : components_) {
    if (SameName(c->name_, name)) return c;
  }
  return nullptr;
}

Platform* Component::GetPlatform() const {
  for (const Component* c = this; c != nullptr; c = c->owner_) {
    if (c->platform_ != nullptr) return c->platform_;
  }
  return nullptr;
}

}  // namespace quirabel::ui
