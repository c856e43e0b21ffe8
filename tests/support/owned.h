#pragma once

#include <vector>

#include "ui/component.h"

namespace quirabel::testing {

// The components `owner` owns that are of class W, in the order they were made: tests ask which
// windows and parts are alive by their type, never by a generated component name.
template <class W>
std::vector<W*> OwnedOf(const ui::Component& owner) {
  std::vector<W*> found;
  for (std::size_t i = 0; i < owner.ComponentCount(); ++i) {
    if (auto* component = dynamic_cast<W*>(owner.Components(i))) found.push_back(component);
  }
  return found;
}

}  // namespace quirabel::testing
