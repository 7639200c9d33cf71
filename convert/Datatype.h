#pragma once
// Names of the ADO data type codes. The table definition classifies a column by substrings of
// the lower-cased name, so every name is written letter for letter as ADO publishes it.

#include <cstdint>
#include <optional>
#include <string>

namespace Datatype {

// The ADO constant's name for a field's type code; empty for a code without a name.
std::optional<std::string> AdoTypeName(std::int16_t code);

} // namespace Datatype
