// Where a key or value stands in the customer's export, for the problem lines.
#pragma once

#include <string>

namespace lab {

// The line of value (or of the key's "[...]" line when value is "") in the export explain read;
// 0 when the reader did not record it.
unsigned LineInExport(const std::string& key, const std::string& value);

} // namespace lab
