#include "driver_install/printer_install.h"
#include "interfaces.h"

#include "generators.h"
#include "machine_setup.h"
#include "common/product_names.h"
#include "port_monitor/monitor.h"

#include <map>

namespace property {
namespace {

constexpr std::size_t kNameBuffer = 256; // the monitor's buffer for names and their parts

const std::vector<std::string> kSharedNames = {"USB/Shared/1", "usb/shared/1", "USB/SHARED/1"};

vtxsim::RegistryValue StoredText(const std::string& text) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return {REG_SZ, bytes};
}

// A value read into the zero-filled buffer: its text, or none when it does not fit with a
// terminator.
std::optional<std::string> ReadName(const std::vector<BYTE>& bytes) {
    std::string text(bytes.begin(), bytes.end());
    std::size_t end = text.find('\0');
    if (bytes.size() > kNameBuffer || (end == std::string::npos && bytes.size() == kNameBuffer))
        return std::nullopt;
    return text.substr(0, end);
}

} // namespace

void showValue(const Interface& i, std::ostream& os) {
    os << "serial " << i.serial << ", product \"" << Printable(i.product) << "\", PortName ";
    if (i.portName)
        ShowValue(*i.portName, os);
    else
        os << "none";
    os << ", Enabled ";
    if (i.enabled)
        os << *i.enabled;
    else
        os << "none";
}

rc::Gen<std::vector<Interface>> Interfaces(int minCount, int maxCount) {
    auto one = rc::gen::apply(
        [](const std::string& product, std::optional<vtxsim::RegistryValue> portName,
           std::optional<DWORD> enabled) {
            return Interface{"", product, std::move(portName), enabled};
        },
        Text(0, 260),
        rc::gen::oneOf(
            rc::gen::just(std::optional<vtxsim::RegistryValue>()),
            rc::gen::map(rc::gen::elementOf(kSharedNames),
                         [](const std::string& name) { return std::optional(StoredText(name)); }),
            rc::gen::map(TextValue(0, 300),
                         [](vtxsim::RegistryValue v) { return std::optional(v); })),
        rc::gen::weightedElement<std::optional<DWORD>>(
            {{5, DWORD{1}}, {3, DWORD{0}}, {1, std::nullopt}, {1, DWORD{2}}}));
    auto count = rc::gen::weightedElement<int>({{7, 0}, {1, 1}}); // now and then a crowd
    return rc::gen::mapcat(count, [=](int crowd) {
        int low = crowd != 0 ? std::max(minCount, maxCount * 3 / 4) : minCount;
        int high = crowd != 0 ? maxCount : std::min(maxCount, minCount + 12);
        return rc::gen::mapcat(rc::gen::inRange(low, high + 1), [=](int n) {
            return rc::gen::map(
                rc::gen::container<std::vector<Interface>>(static_cast<std::size_t>(n), one),
                [](std::vector<Interface> interfaces) {
                    // Serial numbers name the devices: one each.
                    for (std::size_t k = 0; k < interfaces.size(); k++)
                        interfaces[k].serial = "SN" + std::to_string(k);
                    return interfaces;
                });
        });
    });
}

vtxsim::PrinterSpec PrinterOf(const Interface& i) {
    vtxsim::PrinterSpec spec = vtxsim::DraftaireK9(i.serial);
    spec.product = i.product;
    spec.enabled = i.enabled;
    spec.driverFiles = false;
    return spec;
}

void InstallInterfaces(const std::vector<Interface>& interfaces) {
    for (const Interface& i : interfaces) {
        vtxsim::PrinterSpec spec = ForMachineOrder(PrinterOf(i));
        vtxsim::InstallPrinter(spec);
        if (i.portName)
            vtxsim::SetRawValue(vtxsim::InterfaceParametersKeyOf(spec), "PortName", *i.portName);
    }
}

std::vector<std::string> EnumerationOrder() {
    std::vector<std::string> paths;
    HDEVINFO set =
        SetupDiGetClassDevsA(&InterfaceClassGuid, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    for (DWORD index = 0;; index++) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof(data);
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &InterfaceClassGuid, index, &data))
            break;
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
        std::vector<char> block(required + 1, '\0');
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr))
            paths.emplace_back(detail->DevicePath);
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

std::optional<Port> PortOf(const Interface& i) {
    Port port;
    if (i.portName) {
        std::optional<std::string> name = ReadName(i.portName->data);
        if (!name)
            return std::nullopt;
        port.name = *name;
    } else {
        const std::string product = i.product.empty() ? PrinterOf(i).model : i.product;
        port.name = "USB/" + product + "/" + i.serial;
        if (product.size() >= kNameBuffer || port.name.size() >= kNameBuffer)
            return std::nullopt;
    }
    if (!i.enabled)
        return std::nullopt;
    port.enabled = *i.enabled;
    return port;
}

void RecordPass(std::vector<Entry>& table, const std::vector<Interface>& interfaces) {
    std::map<std::string, const Interface*> byPath;
    for (const Interface& i : interfaces)
        byPath[vtxsim::DevicePathOf(PrinterOf(i))] = &i;
    for (const std::string& path : EnumerationOrder()) {
        auto found = byPath.find(path);
        if (found == byPath.end())
            continue;
        std::optional<Port> port = PortOf(*found->second);
        if (!port)
            continue;
        auto sameName = [&](const Entry& e) { return FoldAscii(e.name) == FoldAscii(port->name); };
        auto entry = std::find_if(table.begin(), table.end(),
                                  [&](const Entry& e) { return e.enabled != 0 && sameName(e); });
        if (entry == table.end())
            entry = std::find_if(table.begin(), table.end(), [&](const Entry& e) {
                return sameName(e) && e.devicePath == path;
            });
        if (entry == table.end()) {
            table.push_back({port->name, port->enabled, path});
        } else {
            entry->enabled = port->enabled;
            entry->devicePath = path;
        }
    }
}

bool Opens(const std::vector<Entry>& table, const std::string& name) {
    return std::any_of(table.begin(), table.end(), [&](const Entry& e) {
        return e.enabled != 0 && FoldAscii(e.name) == FoldAscii(name);
    });
}

} // namespace property
