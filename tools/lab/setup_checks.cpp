#include "tools/lab/setup_checks.h"
#include "tools/lab/helper_codes.h"
#include "tools/lab/leftovers.h"
#include "tools/lab/machine_view.h"
#include "tools/lab/shown_text.h"

#include "common/product_names.h"
#include "platform/sim/control/simctl.h"

#include <fmt/format.h>

namespace lab {
namespace {

std::string CmdLineKeysPath() {
    return kHklm + MAKER_KEY SETUP_KEYS_NAME;
}

struct CmdLineKey {
    std::string key;
    std::string remainder;
    std::string serial;
};

std::vector<CmdLineKey> CmdLineKeys() {
    const std::string kCmdLineKeys = CmdLineKeysPath();
    std::vector<CmdLineKey> keys;
    for (const std::string& remainder : vtxsim::SubkeyNames(kCmdLineKeys))
        for (const std::string& serial : vtxsim::SubkeyNames(kCmdLineKeys + "\\" + remainder))
            keys.push_back({kCmdLineKeys + "\\" + remainder + "\\" + serial, remainder, serial});
    return keys;
}

// The text of " -v <option>=" up to the next " -v " or the end; none when it is not there.
std::optional<std::string> Piece(const std::string& cmdLine, const std::string& option) {
    const std::string label = " -v " + option + "=";
    size_t at = cmdLine.find(label);
    if (at == std::string::npos)
        return std::nullopt;
    size_t start = at + label.size();
    size_t end = cmdLine.find(" -v ", start);
    return cmdLine.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// What the setup program misses in a CmdLine the helper recorded no failure in; "" for nothing.
std::string MissingPiece(const std::string& cmdLine, const std::string& serial) {
    std::optional<std::string> port = Piece(cmdLine, "port");
    if (!port)
        return "it has no \" -v port=\": the setup program is told no port";
    if (port->empty())
        return "its \" -v port=\" is empty: the setup program is told no port";
    if (port->find(serial) == std::string::npos)
        return fmt::format("its port \"{}\" does not name the serial {}", Shown(*port),
                           Shown(serial));
    if (!serial.empty() && !Piece(cmdLine, "serial"))
        return "it has no \" -v serial=\"";
    if (!Piece(cmdLine, "bustype"))
        return "it has no \" -v bustype=\"";
    return "";
}

void CheckCmdLine(const CmdLineKey& k, Problems* problems) {
    std::optional<vtxsim::RegistryValue> raw = vtxsim::RawValue(k.key, "CmdLine");
    const std::string again = "detach and attach the printer again so that the helper writes it";
    if (!raw) {
        problems->Add(ProblemCode::CmdLineUnusable, k.key, "",
                      "the key has no CmdLine: the setup program finds no parameters", again);
        return;
    }
    if (raw->type != REG_SZ)
        return; // a problem of its type
    std::string cmdLine = TextOf(*raw);
    std::optional<HelperResult> result = HelperResultOf(cmdLine);
    if (!result) {
        problems->Add(ProblemCode::CmdLineUnusable, k.key, "CmdLine",
                      fmt::format("CmdLine \"{}\" lacks \" -v dialog=\", \" -v error=\" or "
                                  "\" -v abort=\": the setup program cannot tell how the helper "
                                  "ended",
                                  Shown(cmdLine)),
                      again);
        return;
    }
    if (result->dialog != 0 || result->error != 0 || result->abort != 0) {
        HelperCodeWords words = WordsOfHelperResult(*result);
        problems->Add(ProblemCode::HelperRecordedError, k.key, "CmdLine",
                      fmt::format("the helper recorded a failure at the attach of {} (dialog={} "
                                  "error={} abort={}): {}",
                                  Shown(k.serial), result->dialog, result->error, result->abort,
                                  words.meaning),
                      words.todo);
        return;
    }
    std::string missing = MissingPiece(cmdLine, k.serial);
    if (!missing.empty())
        problems->Add(ProblemCode::CmdLineUnusable, k.key, "CmdLine",
                      "the setup program cannot use this CmdLine: " + missing,
                      "correct the model key's PortName<n> and SetupParameters, then " + again);
}

// Each attach without the shell writes the one value "RunOnce": only the last one queued runs.
void CheckRunOnce(const std::vector<CmdLineKey>& keys, Problems* problems) {
    std::optional<std::string> queued = vtxsim::StringValue(kRunOnceKey, "RunOnce");
    std::optional<NamedSerial> named = queued ? SerialOfRunOnce(*queued) : std::nullopt;
    if (!named)
        return;
    for (const CmdLineKey& k : keys) {
        if (SameName(k.serial, named->serial) || !DeviceOfSerial(k.serial))
            continue;
        problems->Add(
            ProblemCode::RunOnceOverwritten, kRunOnceKey, "RunOnce",
            fmt::format("RunOnce queues the setup of {} only: the setup of {} (CmdLine in {}) was "
                        "queued in the same value by its attach without the shell and does not "
                        "run if that attach came since the last logon",
                        Shown(named->serial), Shown(k.serial), k.key),
            fmt::format("after the next logon, run the setup program with -vtregistry={}\\{} by "
                        "hand if the setup of {} did not run",
                        k.remainder, k.serial, Shown(k.serial)));
    }
}

} // namespace

void CheckSetups(Problems* problems) {
    std::vector<CmdLineKey> keys = CmdLineKeys();
    for (const CmdLineKey& k : keys)
        if (DeviceOfSerial(k.serial))
            CheckCmdLine(k, problems);
    CheckRunOnce(keys, problems);
}

} // namespace lab
