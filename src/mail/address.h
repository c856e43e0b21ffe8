#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "serial/csv_table.h"

namespace quirabel::mail {

// True when the text holds a CR or an LF: such a value would start a header of its own.
bool HasLineBreak(std::string_view text);

// The address in a cell, or why it is none (German, for the row list and the send log). Blanks
// around the address are dropped; anything else is taken as it stands, never repaired: a plain
// address local@domain.tld in ASCII, the local part of letters, digits and !#$%&'*+-/=?^_`{|}~
// with single dots between them, the domain of at least two labels of letters, digits and
// hyphens.
struct AddressCheck {
  std::string address;  // empty when refused
  std::string problem;  // empty when valid
};
AddressCheck CheckAddress(std::string_view cell);

// The column (from 1) whose cells look most like addresses among the first rows, or 0 when no
// cell does.
int GuessAddressColumn(const serial::CsvTable& table, std::size_t rowsLooked = 50);

}  // namespace quirabel::mail
