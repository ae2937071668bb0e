// The machine's text is single-byte text in code page 1252; JSON wants Unicode.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace lab {

// text read as code page 1252, in UTF-8; the five codes 1252 leaves unassigned keep their
// C1 code points, so no byte is lost.
std::string Utf8From1252(std::string_view text);
// Every string of document, names of members included, read as code page 1252.
nlohmann::json JsonFrom1252(const nlohmann::json& document);

} // namespace lab
