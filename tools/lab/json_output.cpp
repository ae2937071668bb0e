#include "tools/lab/json_output.h"

#include "platform/sim/control/code_page_ctl.h"

#include <fmt/format.h>

namespace lab {

nlohmann::json JsonDocument(const std::string& command) {
    return {{"version", kJsonVersion}, {"command", command}};
}

nlohmann::json JsonFrom1252(const nlohmann::json& document) {
    if (document.is_string())
        return vtxsim::Utf8From1252(document.get_ref<const std::string&>());
    if (document.is_array()) {
        nlohmann::json out = nlohmann::json::array();
        for (const nlohmann::json& item : document)
            out.push_back(JsonFrom1252(item));
        return out;
    }
    if (document.is_object()) {
        nlohmann::json out = nlohmann::json::object();
        for (const auto& [name, item] : document.items())
            out[vtxsim::Utf8From1252(name)] = JsonFrom1252(item);
        return out;
    }
    return document;
}

void PrintJson(const nlohmann::json& document) {
    fmt::print("{}\n", document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
}

} // namespace lab
