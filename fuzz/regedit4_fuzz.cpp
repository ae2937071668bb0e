// REGEDIT4 import: arbitrary text is either refused whole with std::runtime_error, the
// registry as it was, or imported so that its export reads back into the very same text; the
// same holds for the text in UTF-16 with a byte order mark, which an ASCII text reads the same in.
// A text that starts as the field collector's report is read as one too: it is refused with a
// LabError naming its source, or its registry section holds to the same.
#include "fuzz/fuzz_input.h"
#include "platform/sim/control/simctl.h"
#include "tools/lab/collector_report.h"
#include "tools/lab/lab_error.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

// Something already there, so that a half-applied import would show.
constexpr const char* kBase = "REGEDIT4\n"
                              "\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\Base]\n"
                              "\"Name\"=\"value\"\n"
                              "@=dword:00000001\n"
                              "\n"
                              "[HKEY_CURRENT_USER\\Software\\Base]\n";

// True when the text was imported; false when it was refused as malformed.
bool Import(const std::string& text) {
    try {
        vtxsim::ImportRegText(text);
        return true;
    } catch (const std::runtime_error& error) {
        fuzz::Check(std::string_view(error.what()).starts_with("<text>:"),
                    "an import error names its source");
        return false;
    } catch (...) {
        fuzz::Violated("an import error other than std::runtime_error");
    }
}

// The text with a byte order mark, each byte widened to a UTF-16LE unit: the file a newer
// regedit, or an editor saving it again, writes.
std::string Utf16Of(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Imports text over the base; returns the export after it, or nullopt when it was refused.
std::optional<std::string> CheckImport(const std::string& text) {
    vtxsim::ResetMachine();
    vtxsim::ImportRegText(kBase);
    const std::string before = vtxsim::ExportRegistry();
    if (!Import(text)) {
        fuzz::Check(vtxsim::ExportRegistry() == before, "a refused import changed the registry");
        return std::nullopt;
    }

    const std::string exported = vtxsim::ExportRegistry();
    vtxsim::ResetMachine();
    fuzz::Check(Import(exported), "an export does not import");
    fuzz::Check(vtxsim::ExportRegistry() == exported, "an export does not read back the same");
    return exported;
}

// The report's registry section, read as explain reads it.
void CheckReport(const std::string& text) {
    if (!lab::IsCollectorReport(text))
        return;
    std::optional<lab::CollectorReport> report;
    try {
        report = lab::ReadCollectorReport(text, "<report>");
    } catch (const lab::LabError& error) {
        fuzz::Check(std::string_view(error.what()).starts_with("<report>:"),
                    "a report error names its source");
        return;
    } catch (...) {
        fuzz::Violated("a report error other than LabError");
    }
    fuzz::Check(std::count(report->registry.begin(), report->registry.end(), '\n') <=
                    std::count(text.begin(), text.end(), '\n') + 1,
                "the registry section has more lines than the report");
    CheckImport(report->registry);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::string text = input.Rest();
    CheckReport(text);
    std::optional<std::string> ansi = CheckImport(text);
    if (text.starts_with("\xFF\xFE"))
        return 0;
    // The same text in UTF-16 goes through the reader's other path; ASCII reads the same there.
    std::optional<std::string> utf16 = CheckImport(Utf16Of(text));
    if (IsAscii(text))
        fuzz::Check(ansi == utf16, "an ASCII text reads differently in UTF-16");
    return 0;
}
