#include "tools/lab/json_output.h"

#include <fmt/format.h>

namespace lab {

nlohmann::json JsonDocument(const std::string& command) {
    return {{"version", kJsonVersion}, {"command", command}};
}

void PrintJson(const nlohmann::json& document) {
    fmt::print("{}\n", document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
}

} // namespace lab
