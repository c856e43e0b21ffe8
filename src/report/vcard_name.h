#pragma once

#include <string>

namespace quirabel::report {

// A vCard whose N holds only a family name with a space in it, as one field with the whole name
// gives ("N:Jürgen Weiß;;;;"): that name split at its last space into given and family name
// ("N:Weiß;Jürgen;;;"). A name that is still a data field's marker, and every other text, come
// back as they are.
std::string VCardWithNameSplit(std::string card);

}  // namespace quirabel::report
