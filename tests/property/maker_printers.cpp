#include "driver_install/printer_install.h"
#include "maker_printers.h"

#include "setup_helper/helper_fixture.h"

#include <rapidcheck.h>

#include <algorithm>

namespace property {
namespace {

struct ModelKind {
    std::string model, productId, infPath;
};
const std::vector<ModelKind> kKinds = {{"Draftaire K9", "0042", "OEM0.INF"},
                                       {"Draftaire K7", "0041", "OEM1.INF"},
                                       {"Draftaire K5", "0043", "OEM2.INF"}};

} // namespace

const std::vector<std::string>& MakerModels() {
    static const std::vector<std::string> models = {kKinds[0].model, kKinds[1].model,
                                                    kKinds[2].model};
    return models;
}

vtxsim::PrinterSpec MakerPrinter(const std::string& serial, const std::string& model) {
    const ModelKind& kind = *std::find_if(kKinds.begin(), kKinds.end(),
                                          [&](const ModelKind& k) { return k.model == model; });
    vtxsim::PrinterSpec spec;
    spec.model = model;
    spec.productId = kind.productId;
    spec.infPath = kind.infPath;
    spec.serial = serial;
    return spec;
}

std::string MakerPortName(const std::string& serial, const std::string& model) {
    return "USB/" + model + "/" + serial;
}

void RunHelper(int action, const std::string& model, const std::string& serial) {
    vtxsim::ResetWindows();
    helper_test::ResetHelperState();
    std::string line =
        "-action=" + std::to_string(action) + " -model=" + model + " -serial=" + serial;
    RC_ASSERT(WinMain(nullptr, nullptr, line.data(), SW_SHOWNORMAL) == 0);
}

} // namespace property
