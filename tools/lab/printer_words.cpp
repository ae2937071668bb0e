#include "tools/lab/printer_words.h"

#include <fmt/format.h>

namespace lab {

std::string SerialOf(const std::string& instance) {
    size_t slash = instance.rfind('\\');
    return slash == std::string::npos ? instance : instance.substr(slash + 1);
}

std::string DescribePrinter(const vtxsim::PrinterState& p) {
    std::string text = p.attached ? "plugged in" : "unplugged";
    text += (p.status & vtxsim::kPaperEmpty) ? ", out of paper" : ", paper loaded";
    text += (p.status & vtxsim::kSelected) ? ", online" : ", offline";
    text += (p.status & vtxsim::kNoError) ? ", no error" : ", in error";
    text += fmt::format(" (status byte 0x{:02x})", p.status);
    if (p.stall)
        text += fmt::format(", stalled after {} more bytes", *p.stall);
    if (p.open)
        text += ", held open by a job";
    return text + fmt::format(", {} bytes received", p.received);
}

nlohmann::json PrinterJson(const vtxsim::PrinterState& p) {
    nlohmann::json j = {{"instance", p.instance},
                        {"serial", SerialOf(p.instance)},
                        {"attached", p.attached},
                        {"paper", (p.status & vtxsim::kPaperEmpty) ? "out" : "in"},
                        {"online", (p.status & vtxsim::kSelected) != 0},
                        {"error", (p.status & vtxsim::kNoError) == 0},
                        {"status", p.status},
                        {"open", p.open},
                        {"bytesReceived", p.received},
                        {"words", DescribePrinter(p)}};
    j["stall"] = p.stall ? nlohmann::json(*p.stall) : nlohmann::json(nullptr);
    return j;
}

} // namespace lab
