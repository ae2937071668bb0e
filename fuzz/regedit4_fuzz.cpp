// REGEDIT4 import: arbitrary text is either refused whole with std::runtime_error, the
// registry as it was, or imported so that its export reads back into the very same text.
#include "fuzz/fuzz_input.h"
#include "platform/sim/control/simctl.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::string text = input.Rest();

    vtxsim::ResetMachine();
    vtxsim::ImportRegText(kBase);
    const std::string before = vtxsim::ExportRegistry();
    if (!Import(text)) {
        fuzz::Check(vtxsim::ExportRegistry() == before, "a refused import changed the registry");
        return 0;
    }

    const std::string exported = vtxsim::ExportRegistry();
    vtxsim::ResetMachine();
    fuzz::Check(Import(exported), "an export does not import");
    fuzz::Check(vtxsim::ExportRegistry() == exported, "an export does not read back the same");
    return 0;
}
