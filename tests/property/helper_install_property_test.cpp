// The install action over random model keys, devices and registration failures: whatever the
// values, the parameters stored for the setup program end with the three status pieces and the
// right numbers, every other piece is whole or absent, and only a whole setup program path is
// ever queued or started. Buffer overruns are the sanitizer build's to catch.
#include "driver_install/printer_install.h"
#include "generators.h"
#include "machine_setup.h"
#include "property_check.h"
#include "setup_helper/helper_fixture.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace property {
namespace {

constexpr std::size_t kTextMax = 259; // the longest value a 260-byte buffer reads
constexpr std::size_t kParametersMax = 255;
constexpr int kStatusNumberWidth = 11;
const std::string kModelKeyBase = "HKLM\\Software\\Kelvara\\VTXIO\\";

struct InstallCase {
    std::string model;
    std::string serial;
    std::optional<vtxsim::RegistryValue> root, exec, parameters;
    std::vector<vtxsim::RegistryValue> portNames; // "PortName1", "PortName2", ...
    DWORD registrationFailure = 0;                // 0: AddMonitorA succeeds
    bool shell = false;
    bool launchMarker = false;
};

void showValue(const InstallCase& c, std::ostream& os) {
    auto show = [&os](const char* name, const std::optional<vtxsim::RegistryValue>& value) {
        os << "\n  " << name << ": ";
        if (value)
            ShowValue(*value, os);
        else
            os << "none";
    };
    os << "model \"" << Printable(c.model) << "\" serial \"" << Printable(c.serial) << "\"";
    show("SetupRootPath", c.root);
    show("SetupExecFile", c.exec);
    show("SetupParameters", c.parameters);
    for (const vtxsim::RegistryValue& port : c.portNames)
        show("PortName", port);
    os << "\n  AddMonitorA fails with " << c.registrationFailure << ", shell " << c.shell
       << ", launch.ini " << c.launchMarker;
}

rc::Gen<std::optional<vtxsim::RegistryValue>> MaybeValue(int min, int max) {
    return rc::gen::map(rc::gen::maybe(TextValue(min, max)),
                        [](rc::Maybe<vtxsim::RegistryValue> value) {
                            return value ? std::optional(*value) : std::nullopt;
                        });
}

// A port name that names the serial, or any other text.
rc::Gen<vtxsim::RegistryValue> PortNameValue(const std::string& serial) {
    return rc::gen::oneOf(
        TextValue(0, 300), rc::gen::map(Text(0, 260), [serial](const std::string& product) {
            std::string name = "USB/" + product + "/" + serial;
            return vtxsim::RegistryValue{REG_SZ, std::vector<BYTE>(name.begin(), name.end())};
        }));
}

rc::Gen<InstallCase> AnyInstall() {
    return rc::gen::mapcat(Word(0, 40), [](const std::string& serial) {
        return rc::gen::apply(
            [serial](std::string model, auto root, auto exec, auto parameters,
                     std::vector<vtxsim::RegistryValue> ports, DWORD failure, bool shell,
                     bool marker) {
                return InstallCase{model, serial,  root,  exec,  parameters,
                                   ports, failure, shell, marker};
            },
            ModelText(70), MaybeValue(0, 261), MaybeValue(0, 120), MaybeValue(0, 300),
            rc::gen::mapcat(rc::gen::inRange(0, 4),
                            [serial](int count) {
                                return rc::gen::container<std::vector<vtxsim::RegistryValue>>(
                                    static_cast<std::size_t>(count), PortNameValue(serial));
                            }),
            rc::gen::weightedElement<DWORD>(
                {{6, 0}, {1, 5}, {1, 3006}, {1, 0x7FFFFFFF}, {1, 0xC0000005}}),
            rc::gen::arbitrary<bool>(), rc::gen::arbitrary<bool>());
    });
}

// What the helper reads of a value into its 260-byte buffer: the text, or nothing.
std::optional<std::string> ReadAsText(const std::optional<vtxsim::RegistryValue>& value) {
    if (!value)
        return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    text = text.substr(0, text.find('\0'));
    if (text.size() > kTextMax)
        return std::nullopt;
    return text;
}

std::string Status(LONG dialog, LONG error, LONG abort) {
    return " -v dialog=" + std::to_string(dialog) + " -v error=" + std::to_string(error) +
           " -v abort=" + std::to_string(abort);
}

// Whether a port names the serial: the serial is its whole last part after "/".
bool NamesSerial(const std::string& port, const std::string& serial) {
    return port.substr(port.rfind('/') + 1) == serial;
}

// What must come of one install, worked out from the case alone.
struct Expected {
    bool cmdLine = false;
    std::string cmdLineKey;
    LONG dialog = 0, error = 0, abort = 0;
    std::optional<std::string> programPath;  // whole, or none
    std::vector<std::string> optionalPieces; // in order, each whole
    std::size_t busTypeAt = 0;               // the bus type follows this many optional pieces
};

Expected Expect(const InstallCase& c) {
    Expected e;
    DWORD registration = c.registrationFailure;
    if (registration == 0 && c.serial.empty())
        registration = ERROR_INVALID_PARAMETER; // the spooler refuses an unnamed monitor
    if (registration != 0)
        e.dialog = 2, e.error = static_cast<LONG>(registration), e.abort = 1;

    const std::string remainder = vtxsim::ModelRemainder(c.model);
    const bool modelKey =
        !remainder.empty() && kModelKeyBase.size() - 5 + remainder.size() <= kTextMax;
    std::optional<std::string> root = modelKey ? ReadAsText(c.root) : std::nullopt;
    std::optional<std::string> exec = modelKey ? ReadAsText(c.exec) : std::nullopt;
    auto present = [&](const std::optional<vtxsim::RegistryValue>& v) { return modelKey && v; };
    // Missing and empty setup values stop everything but the registration and the copy.
    if (!present(c.root) || (root && root->empty())) {
        e.error = !present(c.root) ? ERROR_FILE_NOT_FOUND : 1008;
        return e;
    }
    if (root && root->back() != '\\')
        *root += '\\';
    bool pathFits = root && root->size() <= kTextMax;
    if (pathFits) {
        if (!present(c.exec) || (exec && exec->empty())) {
            e.error = !present(c.exec) ? ERROR_FILE_NOT_FOUND : 1008;
            return e;
        }
        std::string path = *root + exec.value_or(std::string(300, 'x')) +
                           " -vtregistry=" + remainder + "\\" + c.serial;
        pathFits = exec && path.size() <= kTextMax;
        if (pathFits)
            e.programPath = path;
    }
    if (!pathFits && e.error == 0)
        e.error = ERROR_FILENAME_EXCED_RANGE;

    e.cmdLineKey = "HKLM\\Software\\Kelvara\\VTX\\" + remainder + "\\" + c.serial;
    e.cmdLine = e.cmdLineKey.size() - 5 <= kTextMax;
    if (std::optional<std::string> parameters = ReadAsText(c.parameters)) {
        e.optionalPieces.push_back(*parameters);
        e.busTypeAt = 1;
    }
    // The first "PortName<n>" that names the serial; the search ends at the first one missing.
    std::optional<std::string> port;
    for (const vtxsim::RegistryValue& value : c.portNames) {
        std::optional<std::string> text = ReadAsText(value);
        if (c.serial.empty()) {
            port = text.value_or("");
            break;
        }
        if (text && NamesSerial(*text, c.serial)) {
            port = text;
            break;
        }
    }
    if (!port && c.serial.empty())
        port = "";
    if (port)
        e.optionalPieces.push_back(" -v port=" + *port);
    else if (e.error == 0)
        e.error = 1168;
    if (!c.model.empty())
        e.optionalPieces.push_back(" -v model=" + c.model);
    if (!c.serial.empty())
        e.optionalPieces.push_back(" -v serial=" + c.serial);
    return e;
}

// Whether text is the pieces chosen by mask, in order, the bus type among them, then status.
std::string Compose(const Expected& e, unsigned mask, const std::string& status) {
    std::string text;
    for (std::size_t i = 0; i <= e.optionalPieces.size(); i++) {
        if (i == e.busTypeAt)
            text += " -v bustype=usb";
        if (i < e.optionalPieces.size() && (mask & (1u << i)) != 0)
            text += e.optionalPieces[i];
    }
    return text + status;
}

void Install(const InstallCase& c, vtxsim::EnumerationOrder order) {
    FreshMachine({.shellRunning = c.shell, .order = order});
    helper_test::ResetHelperState();
    std::memcpy(DeviceModel, c.model.c_str(), c.model.size() + 1);
    std::memcpy(DeviceSerial, c.serial.c_str(), c.serial.size() + 1);
    BuildModelKeyPath(ModelKeyPath, DeviceModel);
    vtxsim::PutFile("C:\\Windows\\System\\vtxpmo01.dll", "monitor");
    vtxsim::PutFile(helper_test::kHelperFile, "helper");
    const std::string modelKey = kModelKeyBase + vtxsim::ModelRemainder(c.model);
    if (!vtxsim::ModelRemainder(c.model).empty()) {
        if (c.root)
            vtxsim::SetRawValue(modelKey, "SetupRootPath", *c.root);
        if (c.exec)
            vtxsim::SetRawValue(modelKey, "SetupExecFile", *c.exec);
        if (c.parameters)
            vtxsim::SetRawValue(modelKey, "SetupParameters", *c.parameters);
        for (std::size_t n = 0; n < c.portNames.size(); n++)
            vtxsim::SetRawValue(modelKey, "PortName" + std::to_string(n + 1), c.portNames[n]);
    }
    if (c.launchMarker && ReadAsText(c.root) && !ReadAsText(c.root)->empty()) {
        std::string root = *ReadAsText(c.root);
        // A root no file can lie in keeps no marker either.
        try {
            vtxsim::PutFile(root + (root.back() == '\\' ? "" : "\\") + "launch.ini", "");
        } catch (const std::invalid_argument&) {
        }
    }
    if (c.registrationFailure != 0)
        vtxsim::FailCall("AddMonitorA", 1, c.registrationFailure);
    InstallDevice();
}

TEST(HelperInstallProperty, ParametersEndInTheStatusPiecesAndOnlyWholePathsAreQueued) {
    Check(200, [] {
        const InstallCase c = *AnyInstall();
        Install(c, *AnyOrder());
        const Expected e = Expect(c);

        RC_ASSERT(DialogCode == e.dialog);
        RC_ASSERT(ErrorCode == e.error);
        RC_ASSERT(AbortFlag == e.abort);
        std::optional<std::string> stored =
            e.cmdLine ? vtxsim::StringValue(e.cmdLineKey, "CmdLine") : std::nullopt;
        RC_ASSERT(stored.has_value() == (e.cmdLine && e.error != 2 && e.error != 1008));
        if (stored) {
            RC_ASSERT(stored->size() <= kParametersMax);
            const std::string status = Status(e.dialog, e.error, e.abort);
            const unsigned all = (1u << e.optionalPieces.size()) - 1;
            bool whole = false;
            for (unsigned mask = 0; mask <= all && !whole; mask++)
                whole = *stored == Compose(e, mask, status);
            RC_ASSERT(whole);
            // Where every piece fits beside the widest status, every piece is there.
            std::string widest =
                Status(e.dialog, 0, e.abort) + std::string(kStatusNumberWidth - 1, '0');
            if (Compose(e, all, widest).size() <= kParametersMax)
                RC_ASSERT(*stored == Compose(e, all, status));
        }

        const bool launch = e.error != 2 && e.error != 1008;
        std::optional<std::string> queued = vtxsim::StringValue(
            "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "RunOnce");
        if (c.shell || !launch || !e.programPath)
            RC_ASSERT(!queued.has_value());
        else
            RC_ASSERT(queued == e.programPath);
        for (const vtxsim::ProcessStart& start : vtxsim::ProcessJournal()) {
            RC_ASSERT(c.shell && launch);
            RC_ASSERT(start.commandLine ==
                      " -a\"USB\\" + c.model + "\\" + c.serial + "\" -b\"" + c.model + "\"");
            RC_ASSERT(start.application == std::string(SetupRoot) + "..\\setup.exe");
        }
    });
}

// Two serials, one inside the other ("AB1" and "AB12", "B12" and "AB12", "B1" and "AB12"), each
// on a port of its own below one model key, one of them on a spooler printer: each serial gets
// its own port from the numbered search, whatever their order, and the printer scan finds only
// the printer's own serial.
struct NestedSerials {
    std::string outer, inner, product;
    bool outerFirst = false;   // "PortName1" is the outer serial's port
    bool outerPrinted = false; // the spooler printer is on the outer serial's port
};

rc::Gen<NestedSerials> AnyNestedSerials() {
    // Serials have no "/": it ends a port name's product part.
    auto serialText = rc::gen::map(Word(2, 24), [](std::string text) {
        std::replace(text.begin(), text.end(), '/', '_');
        return text;
    });
    return rc::gen::mapcat(serialText, [](const std::string& outer) {
        const int size = static_cast<int>(outer.size());
        return rc::gen::mapcat(rc::gen::inRange(0, size), [outer, size](int start) {
            // Not the whole serial: a prefix, a suffix or a part inside.
            const int longest = start == 0 ? size - 1 : size - start;
            return rc::gen::apply(
                [outer, start](int length, std::string product, bool outerFirst,
                               bool outerPrinted) {
                    return NestedSerials{outer,
                                         outer.substr(static_cast<std::size_t>(start),
                                                      static_cast<std::size_t>(length)),
                                         product, outerFirst, outerPrinted};
                },
                rc::gen::inRange(1, longest + 1), Word(0, 40), rc::gen::arbitrary<bool>(),
                rc::gen::arbitrary<bool>());
        });
    });
}

TEST(HelperInstallProperty, ASerialInsideAnothersPortIsAPrinterOfItsOwn) {
    Check(200, [] {
        const NestedSerials c = *AnyNestedSerials();
        RC_LOG() << "outer \"" << Printable(c.outer) << "\" inner \"" << Printable(c.inner)
                 << "\" product \"" << Printable(c.product) << "\"\n";
        FreshMachine({.order = *AnyOrder()});
        helper_test::ResetHelperState();
        helper_test::SetText(DeviceModel, "Draftaire K9");
        BuildModelKeyPath(ModelKeyPath, DeviceModel);
        const std::string outerPort = "USB/" + c.product + "/" + c.outer;
        const std::string innerPort = "USB/" + c.product + "/" + c.inner;
        vtxsim::SetStringValue(helper_test::kModelKey, "PortName1",
                               c.outerFirst ? outerPort : innerPort);
        vtxsim::SetStringValue(helper_test::kModelKey, "PortName2",
                               c.outerFirst ? innerPort : outerPort);
        RC_ASSERT(vtxsim::AddPrinter("Draftaire K9", c.outerPrinted ? outerPort : innerPort));

        for (const auto& [serial, port] :
             {std::pair{c.outer, outerPort}, std::pair{c.inner, innerPort}}) {
            helper_test::SetText(DeviceSerial, serial);
            CHAR told[PARAMETER_STRING_SIZE] = "";
            RC_ASSERT(AppendPortName(told, PARAMETER_STRING_SIZE) == 0u);
            RC_ASSERT(std::string(told) == " -v port=" + port);
            const bool printed = (serial == c.outer) == c.outerPrinted;
            RC_ASSERT(ScanPrinterPorts() == (printed ? 0u : 1u));
        }
    });
}

} // namespace
} // namespace property
