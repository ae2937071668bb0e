// vtxscenario: a random machine and a random run of device events, drawn from a seed, written
// as a REGEDIT4 fixture and a step list that tests/wine/random_scenarios.sh runs under Wine and
// on the simulated machine and compares.
//
//   vtxscenario <seed> <directory>    writes <directory>/fixture.reg and <directory>/steps
//
// The same seed gives the same scenario on every machine (the generator and its distributions
// are fixed here, not taken from the standard library's implementation-defined ones).
//
// Step list, one step a line, fields separated by tabs:
//   version 98|me        shell 0|1        launch_ini 0|1
//   wininit <line>       a line of the wininit.ini that is there before the first step
//   file <windows path>  a driver file that the driver's installation left
//   install <model> <serial>   remove <model> <serial>   restart
//   plug <instance> <serial>   unplug <instance> <serial>   the printer's cable
//   ports                      the spooler loads the monitor: EnumPorts at levels 1 and 2
//   print <port> <serial>      a job from OpenPort to ClosePort
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// SplitMix64: small, fixed, and good enough to spread every 64-bit seed.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // 0 .. count - 1.
    unsigned Below(unsigned count) { return static_cast<unsigned>(Next() % count); }

    // True once in `times`.
    bool OneIn(unsigned times) { return Below(times) == 0; }

  private:
    std::uint64_t state_;
};

struct Model {
    std::string name;      // "Draftaire K9"
    std::string remainder; // "K9": the model key's name
    std::string productId; // "0042"
    std::string inf;       // "OEM0.INF"
};

const std::vector<Model> kModels = {
    {"Draftaire K9", "K9", "0042", "OEM0.INF"},
    {"Draftaire K7", "K7", "0043", "OEM1.INF"},
    {"Draftaire M2", "M2", "0051", "OEM2.INF"},
};

const char kInterfaceClass[] = "{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";

struct Device {
    const Model* model;
    std::string serial;
    unsigned classInstance; // "USB Draftaire\000N"
    bool driverValue;       // Enum's "driver" names the class instance
    bool infPath;           // the class instance has "InfPath"
    bool attached;          // an earlier install left its CmdLine
    bool printer;           // a spooler printer already prints to its port
};

// Four characters, two letters and two digits: no serial is part of another's port name.
std::string Serial(Random& random, const std::vector<Device>& taken) {
    for (;;) {
        std::string serial;
        serial += static_cast<char>('A' + random.Below(6));
        serial += static_cast<char>('A' + random.Below(6));
        serial += static_cast<char>('0' + random.Below(10));
        serial += static_cast<char>('0' + random.Below(10));
        bool unique = true;
        for (const Device& device : taken)
            unique = unique && device.serial != serial;
        if (unique)
            return serial;
    }
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string Text(const std::string& text) {
    return "\"" + Escaped(text) + "\"";
}

// A REG_SZ written without its terminator, as some installers leave it.
std::string Unterminated(const std::string& text) {
    std::ostringstream out;
    out << "hex(1):";
    for (std::size_t i = 0; i < text.size(); ++i) {
        static const char kDigits[] = "0123456789abcdef";
        unsigned char c = static_cast<unsigned char>(text[i]);
        out << (i ? "," : "") << kDigits[c >> 4] << kDigits[c & 15];
    }
    return out.str();
}

class Fixture {
  public:
    void Key(const std::string& path) { text_ << "\n[HKEY_LOCAL_MACHINE\\" << path << "]\n"; }
    void Value(const std::string& name, const std::string& data) {
        text_ << Text(name) << "=" << data << "\n";
    }
    std::string Str() const { return "REGEDIT4\n" + text_.str(); }

  private:
    std::ostringstream text_;
};

std::string Hex4(unsigned n) {
    std::string digits = "000" + std::to_string(n);
    return digits.substr(digits.size() - 4);
}

std::string TypeName(const Device& device) {
    return "VID_0D7A&PID_" + device.model->productId;
}

// "USB\VID_0D7A&PID_<id>\<serial>"
std::string Instance(const Device& device) {
    return "USB\\" + TypeName(device) + "\\" + device.serial;
}

void WriteDevice(Fixture& fixture, const Device& device) {
    std::string instance = Instance(device);
    fixture.Key("Enum\\USB\\" + TypeName(device) + "\\" + device.serial);
    fixture.Value("DeviceDesc", Text(device.model->name));
    fixture.Value("Class", Text("USB Draftaire"));
    if (device.driverValue)
        fixture.Value("driver", Text("USB Draftaire\\" + Hex4(device.classInstance)));

    std::string interfaceKey = "System\\CurrentControlSet\\Control\\DeviceClasses\\" +
                               std::string(kInterfaceClass) + "\\##?#USB#" + TypeName(device) +
                               "#" + device.serial + "#" + kInterfaceClass;
    fixture.Key(interfaceKey);
    fixture.Value("DeviceInstance", Text(instance));
    // The interface's own key, where the driver's installation writes its values.
    fixture.Key(interfaceKey + "\\#\\Device Parameters");
    fixture.Value("SerialNumber", Text(device.serial));
    fixture.Value("Product", Text(device.model->name));
    fixture.Value("Enabled", "dword:00000001");

    fixture.Key("System\\CurrentControlSet\\Services\\Class\\USB Draftaire\\" +
                Hex4(device.classInstance));
    fixture.Value("DriverDesc", Text(device.model->name));
    if (device.infPath)
        fixture.Value("InfPath", Text(device.model->inf));

    std::string port = "USB/" + device.model->name + "/" + device.serial;
    if (device.attached) {
        fixture.Key("Software\\Kelvara\\VTX\\" + device.model->remainder + "\\" + device.serial);
        fixture.Value("CmdLine", Text(" -v bustype=usb -v port=" + port));
    }
    if (device.printer) {
        fixture.Key("System\\CurrentControlSet\\Control\\Print\\Printers\\" + device.model->name +
                    " " + device.serial);
        fixture.Value("Port", Text(port));
    }
}

// The model's settings as the driver's installation leaves them, some missing or odd.
void WriteModel(Fixture& fixture, Random& random, const Model& model,
                const std::vector<Device>& devices) {
    fixture.Key("Software\\Kelvara\\VTXIO\\" + model.remainder);
    if (!random.OneIn(8))
        fixture.Value("ProductID",
                      random.OneIn(6) ? Unterminated(model.productId) : Text(model.productId));
    switch (random.Below(8)) {
    case 0:
        break; // no setup directory
    case 1:
        fixture.Value("SetupRootPath", Text(""));
        break;
    default:
        fixture.Value("SetupRootPath", Text("C:\\Setup"));
    }
    switch (random.Below(8)) {
    case 0:
        break;
    case 1:
        fixture.Value("SetupExecFile", Text(""));
        break;
    case 2:
        fixture.Value("SetupExecFile", Unterminated("start.exe"));
        break;
    default:
        fixture.Value("SetupExecFile", Text("start.exe"));
    }
    switch (random.Below(6)) {
    case 0:
        break;
    case 1:
        fixture.Value("SetupParameters", "dword:00000007");
        break;
    case 2:
        fixture.Value("SetupParameters", Text(std::string(300, 'p')));
        break;
    default:
        fixture.Value("SetupParameters", Text("-s"));
    }
    if (random.OneIn(6))
        fixture.Value("ExecFile", Text("vtxalt01.exe"));
    unsigned number = 1;
    for (const Device& device : devices) {
        if (device.model == &model && !random.OneIn(5)) {
            fixture.Value("PortName" + std::to_string(number++),
                          Text("USB/" + model.name + "/" + device.serial));
        }
    }
}

void WriteShared(Fixture& fixture, Random& random, const std::vector<const Model*>& models) {
    fixture.Key("System\\CurrentControlSet\\Services\\Class\\USB Draftaire");
    fixture.Value("Class", Text("USB Draftaire"));
    fixture.Key("System\\CurrentControlSet\\Services\\Class\\" + std::string(kInterfaceClass));
    fixture.Value("Class", Text("DraftaireIO"));
    fixture.Key("System\\CurrentControlSet\\Services\\Vtxiod01");
    fixture.Value("Type", "dword:00000001");
    fixture.Value("Start", "dword:00000003");
    for (const Model* model : models) {
        fixture.Key("System\\CurrentControlSet\\Services\\Vtxiod01\\Parameters\\"
                    "StaticDeviceConfig\\" +
                    model->name);
        fixture.Value("ProductID", Text(model->productId));
    }
    if (random.OneIn(6)) {
        fixture.Key("System\\CurrentControlSet\\Services\\VxD\\Vtxiod01");
        fixture.Value("Start", "dword:00000000");
    }
}

// An earlier wininit.ini, if any; some odd but seen in the field.
std::vector<std::string> Wininit(Random& random) {
    switch (random.Below(7)) {
    case 0:
        return {"[Boot]", "shell=Explorer.exe"};
    case 1:
        return {"[rename]", "NUL=C:\\Windows\\Temp\\old.tmp",
                "C:\\Windows\\a.dll=C:\\Windows\\a.new"};
    case 2:
        return {"[Boot]", "shell=Explorer.exe", "[Rename]", "NUL=C:\\Windows\\Temp\\old.tmp"};
    case 3:
        return {"[rename]", "NUL=C:\\Windows\\Temp\\old.tmp", "C:\\Windows\\stray.tmp"};
    case 4:
        return {"[rename]", "NUL=C:\\Windows\\Temp\\one.tmp", "[Boot]", "shell=Explorer.exe",
                "[rename]", "NUL=C:\\Windows\\Temp\\two.tmp"};
    default:
        return {};
    }
}

struct Scenario {
    std::string fixture;
    std::vector<std::string> steps;
};

Scenario Generate(std::uint64_t seed) {
    Random random(seed);
    Scenario scenario;
    std::vector<std::string>& steps = scenario.steps;
    steps.push_back("version\t" + std::string(random.OneIn(3) ? "me" : "98"));
    bool shell = random.OneIn(2);
    steps.push_back("shell\t" + std::string(shell ? "1" : "0"));
    steps.push_back("launch_ini\t" + std::string(shell && random.OneIn(2) ? "1" : "0"));
    for (const std::string& line : Wininit(random))
        steps.push_back("wininit\t" + line);

    std::vector<Device> devices;
    unsigned count = 1 + random.Below(4);
    for (unsigned i = 0; i < count; ++i) {
        Device device{};
        device.model = &kModels[random.Below(static_cast<unsigned>(kModels.size()))];
        device.serial = Serial(random, devices);
        device.classInstance = i;
        device.driverValue = !random.OneIn(8);
        device.infPath = !random.OneIn(8);
        device.attached = random.OneIn(3);
        device.printer = device.attached && random.OneIn(3);
        devices.push_back(device);
    }
    std::vector<const Model*> models;
    for (const Model& model : kModels) {
        for (const Device& device : devices) {
            if (device.model == &model) {
                models.push_back(&model);
                break;
            }
        }
    }

    Fixture fixture;
    WriteShared(fixture, random, models);
    for (const Model* model : models)
        WriteModel(fixture, random, *model, devices);
    for (const Device& device : devices)
        WriteDevice(fixture, device);
    scenario.fixture = fixture.Str();

    // The driver's files, each left by the installation (or already gone).
    std::vector<std::string> files = {"C:\\Windows\\System\\vtxcls01.dll",
                                      "C:\\Windows\\System\\vtxpmo01.dll",
                                      "C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys",
                                      "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys",
                                      "C:\\Windows\\System\\VMM32\\vtxvxu01.dll",
                                      "C:\\Windows\\System\\vtxalt01.exe"};
    for (const Model* model : models)
        files.push_back("C:\\Windows\\Inf\\Other\\" + model->inf);
    for (const std::string& file : files) {
        if (!random.OneIn(10))
            steps.push_back("file\t" + file);
    }

    // Device events: installs and removals of these printers, the spooler's calls of the
    // monitor, the cable plugged and pulled, a restart between some. Now and then a printer
    // removed is plugged in again before any restart.
    unsigned events = 1 + random.Below(6);
    std::vector<bool> plugged(devices.size(), false);
    const Device* removed = nullptr;
    for (unsigned i = 0; i < events; ++i) {
        unsigned which = random.Below(static_cast<unsigned>(devices.size()));
        const Device& device = devices[which];
        std::string instance = Instance(device);
        switch (random.Below(6)) {
        case 0:
        case 1:
        case 2: {
            const bool replug = removed != nullptr && random.OneIn(3);
            const Device& target = replug ? *removed : device;
            const bool install = replug || random.OneIn(2);
            steps.push_back(std::string(install ? "install" : "remove") + "\t" +
                            target.model->name + "\t" + target.serial);
            removed = install ? nullptr : &target;
            break;
        }
        case 3:
            steps.push_back("ports");
            break;
        case 4:
            // A job goes to a printer that is plugged in; now and then to one that is not.
            if (!plugged[which] && !random.OneIn(4)) {
                steps.push_back("plug\t" + instance + "\t" + device.serial);
                plugged[which] = true;
            }
            steps.push_back("print\tUSB/" + device.model->name + "/" + device.serial + "\t" +
                            device.serial);
            break;
        default:
            if (plugged[which]) {
                steps.push_back("unplug\t" + instance + "\t" + device.serial);
                plugged[which] = false;
            } else {
                steps.push_back("ports");
            }
        }
        if (i + 1 < events && random.OneIn(4))
            steps.push_back("restart");
    }
    steps.push_back("restart");
    return scenario;
}

bool WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "vtxscenario: cannot write " << path.string() << "\n";
        return false;
    }
    return true;
}

bool ParseSeed(const char* text, std::uint64_t* seed) {
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (*text == '\0' || *text == '-' || *end != '\0' || errno != 0)
        return false;
    *seed = value;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::uint64_t seed = 0;
    if (argc != 3 || !ParseSeed(argv[1], &seed)) {
        std::cerr << "usage: vtxscenario <seed 0.." << UINT64_MAX << "> <directory>\n";
        return 2;
    }
    std::filesystem::path directory = argv[2];
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        std::cerr << "vtxscenario: cannot make " << directory.string() << ": " << error.message()
                  << "\n";
        return 1;
    }
    Scenario scenario = Generate(seed);
    std::string steps = "# seed " + std::string(argv[1]) + "\n";
    for (const std::string& step : scenario.steps)
        steps += step + "\n";
    // Never over what is there: the directory may hold someone's own fixture.
    if (std::filesystem::exists(directory / "fixture.reg", error) ||
        std::filesystem::exists(directory / "steps", error)) {
        std::cerr << "vtxscenario: " << directory.string()
                  << " already holds a scenario; a new directory is needed\n";
        return 1;
    }
    return WriteFile(directory / "fixture.reg", scenario.fixture) &&
                   WriteFile(directory / "steps", steps)
               ? 0
               : 1;
}
