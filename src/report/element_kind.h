#pragma once

#include "model/element_kind.h"

namespace quirabel::report {

using model::ElementKind;

}  // namespace quirabel::report
