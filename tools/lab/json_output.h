// vtxlab's --json: one JSON document on stdout, an object whose "version" names the schema the
// README describes, and "command" the command that wrote it.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace lab {

// Raised when a field is renamed or removed; added fields keep it.
constexpr int kJsonVersion = 1;

// {"version": 1, "command": command} and then fields.
nlohmann::json JsonDocument(const std::string& command);
// Every string of document, names of members included, read as code page 1252 (the machine's
// text), in UTF-8.
nlohmann::json JsonFrom1252(const nlohmann::json& document);
// The document on stdout, bytes that are not UTF-8 replaced.
void PrintJson(const nlohmann::json& document);

} // namespace lab
