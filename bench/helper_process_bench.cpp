// The helper's install and removal, each as its own process as the device installer starts it,
// on the one-printer machine and on one with a customer's registry beside the printer; and,
// for scale, loading and saving that registry once as REGEDIT4 text.
#include "driver_install/printer_install.h"
#include "bench/customer_registry.h"
#include "platform/sim/control/helper_process.h"
#include "platform/sim/control/simctl.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

const std::string kInstall = "VTXINH01.EXE -action=2 -model=Draftaire K9 -serial=AB12";
const std::string kRemove = "VTXINH01.EXE -action=64 -model=Draftaire K9 -serial=AB12";

const fs::path& Scratch() {
    static const fs::path* dir = [] {
        std::string pattern = (fs::temp_directory_path() / "vtxbench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return new fs::path(pattern); // used until exit, when it is removed
    }();
    static const bool removedAtExit = [] {
        return std::atexit([] {
                   std::error_code ignored;
                   fs::remove_all(*dir, ignored);
               }) == 0;
    }();
    (void)removedAtExit;
    return *dir;
}

bool RunHelper(const fs::path& machine, const std::string& commandLine) {
    vtxsim::HelperRun run = vtxsim::RunHelper(VTX_HELPER_EXE, machine, commandLine);
    return run.failure.empty() && run.exitCode == 0;
}

void CopyMachine(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

// Machine directories as the device installer finds them: before the install and after it.
struct Templates {
    fs::path beforeInstall;
    fs::path afterInstall;
};

const Templates& MachinesWith(int extraKeys) {
    static std::map<int, Templates> made;
    auto found = made.find(extraKeys);
    if (found != made.end())
        return found->second;
    fs::path base = Scratch() / std::to_string(extraKeys);
    Templates t{base / "before", base / "after"};
    vtxsim::UseMachine(t.beforeInstall);
    vtxsim::ResetMachine();
    if (extraKeys > 0)
        vtxsim::ImportRegText(vtxbench::CustomerRegistry(extraKeys));
    vtxsim::SetTickCount(1234567);
    vtxsim::PrinterSpec spec;
    vtxsim::InstallPrinter(spec);
    vtxsim::PutFile(spec.setupRootPath + "\\launch.ini", "[Launch]\r\n");
    vtxsim::PutFile(spec.setupRootPath + "\\..\\setup.exe", "MZ");
    vtxsim::UseMachine({}); // lets go of the database: the copies are whole
    CopyMachine(t.beforeInstall, t.afterInstall);
    if (!RunHelper(t.afterInstall, kInstall))
        std::abort();
    return made.emplace(extraKeys, t).first->second;
}

void RunOnCopies(benchmark::State& state, const fs::path& from, const std::string& command) {
    fs::path work = Scratch() / "work";
    for (auto _ : state) {
        state.PauseTiming();
        CopyMachine(from, work);
        state.ResumeTiming();
        if (!RunHelper(work, command)) {
            state.SkipWithError("the helper failed");
            break;
        }
    }
}

void BM_HelperInstall(benchmark::State& state) {
    RunOnCopies(state, MachinesWith(static_cast<int>(state.range(0))).beforeInstall, kInstall);
}
BENCHMARK(BM_HelperInstall)->Arg(0)->Arg(20000)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_HelperRemoval(benchmark::State& state) {
    RunOnCopies(state, MachinesWith(static_cast<int>(state.range(0))).afterInstall, kRemove);
}
BENCHMARK(BM_HelperRemoval)->Arg(0)->Arg(20000)->UseRealTime()->Unit(benchmark::kMillisecond);

// What one changing call cost when the registry was a REGEDIT4 file: read and parse it, then
// format and write it back.
void BM_LoadAndSaveRegistry(benchmark::State& state) {
    fs::path file = Scratch() / "registry.reg";
    std::ofstream(file, std::ios::binary)
        << vtxbench::CustomerRegistry(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        vtxsim::WriteFileAtomically(file, vtxsim::RewrittenRegistryText(text.str(), file.string()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(file)));
}
BENCHMARK(BM_LoadAndSaveRegistry)->Arg(20000)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
