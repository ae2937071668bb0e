// Generators of what users' machines hold: texts of any length with the lengths around the
// product's buffer sizes made likely, registry values of any type and termination, and the
// maker's model names.
#pragma once

#include "platform/sim/control/registry_ctl.h"

#include <rapidcheck.h>

#include <ostream>
#include <string>
#include <vector>

namespace property {

// Printable ASCII, space and bytes above 127; no NUL, no backslash (which nests keys).
rc::Gen<char> TextCharacter();
// Any length from min to max, with the lengths around the 254, 256 and 260-byte buffers
// (253-261) as likely as all the others together.
rc::Gen<std::string> Text(int min, int max);
// The same, without spaces (a serial number on the helper's command line ends at a space).
rc::Gen<std::string> Word(int min, int max);
// A text value as the registry may hold it: REG_SZ with or without its terminator, or the
// text's bytes under another type.
rc::Gen<vtxsim::RegistryValue> TextValue(int min, int max);
// A text with its bytes outside printable ASCII as \xNN, for reports.
std::string Printable(const std::string& text);
// A value as "type, length: text" for a shrunk case's report.
void ShowValue(const vtxsim::RegistryValue& value, std::ostream& os);

// "Draftaire " and a remainder, or a model text without the family word.
rc::Gen<std::string> ModelText(int maxRemainder);

// A with its letters A-Z folded to a-z, as the monitor compares port names.
std::string FoldAscii(const std::string& text);

} // namespace property
