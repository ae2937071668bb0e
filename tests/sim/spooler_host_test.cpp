// The monitor host: one library per DLL name, InitializeMonitorEx called for each registered
// instance of it with that instance's registry root, in turn or from several threads at once.
// The fake monitor lists one port per initialised instance, from the state all share; that
// state lives as long as the test program, so names are unique per test.
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/files_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/spooler_ctl.h"
#include "platform/win32api.h"
#include "support/machine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string kFakeDll = "vtxfakemon.dll";

void AddInstance(std::string name, std::string dll) {
    vtxsim::PutFile("C:\\Windows\\System\\" + dll, "library");
    std::string environment = "Windows 4.0";
    MONITOR_INFO_2A info{name.data(), environment.data(), dll.data()};
    ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) << GetLastError();
}

std::vector<std::string> Names(const vtxsim::EnumPortsResult& result) {
    std::vector<std::string> names;
    for (const vtxsim::PortInfo& port : result.ports)
        names.push_back(port.name);
    return names;
}

bool Lists(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

class MonitorHostTest : public vtxtest::MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        vtxsim::SetMonitorLibraryDir(VTX_FAKE_MONITOR_DIR);
    }
};

TEST_F(MonitorHostTest, EachInstanceOfTheLibraryIsInitialisedWithItsOwnRegistryRoot) {
    AddInstance("HostA", kFakeDll);
    AddInstance("HostB", kFakeDll);
    AddInstance("HostOther", "vtxother.dll"); // another library's instance is not started

    vtxsim::MonitorHost host(kFakeDll);
    ASSERT_TRUE(host.StartInstances()) << host.Error();
    const std::vector<vtxsim::MonitorInstance>& instances = host.Instances();
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_EQ(instances[0].name, "HostA");
    EXPECT_EQ(instances[0].registryRoot,
              "System\\CurrentControlSet\\Control\\Print\\Monitors\\HostA");
    EXPECT_EQ(instances[1].registryRoot,
              "System\\CurrentControlSet\\Control\\Print\\Monitors\\HostB");
    for (const vtxsim::MonitorInstance& instance : instances) {
        EXPECT_TRUE(instance.called);
        EXPECT_TRUE(instance.result);
        EXPECT_EQ(instance.lastError, 0u);
        EXPECT_NE(instance.table.pfnEnumPorts, nullptr);
        EXPECT_EQ(instance.table.pfnOpenPortEx, nullptr);
    }

    // One library: the instances share its state, so each lists the other's port.
    vtxsim::EnumPortsResult level1 = host.EnumPorts(1, "HostB");
    ASSERT_TRUE(level1.ok) << level1.error;
    EXPECT_TRUE(level1.wellFormed);
    EXPECT_TRUE(Lists(Names(level1), "FAKE:HostA"));
    EXPECT_TRUE(Lists(Names(level1), "FAKE:HostB"));
    EXPECT_FALSE(Lists(Names(level1), "FAKE:HostOther"));
    vtxsim::EnumPortsResult level2 = host.EnumPorts(2, "HostA");
    ASSERT_TRUE(level2.ok);
    EXPECT_EQ(Names(level2), Names(level1));
    EXPECT_EQ(level2.ports.front().type, static_cast<DWORD>(PORT_TYPE_WRITE));

    HANDLE port = host.OpenPort("FAKE:HostA");
    ASSERT_NE(port, nullptr);
    DWORD written = 0;
    EXPECT_TRUE(host.WritePort(port, "page", &written));
    EXPECT_EQ(written, 4u);
    EXPECT_TRUE(host.ClosePort(port));
}

TEST_F(MonitorHostTest, InstancesStartedFromSeveralThreadsAtOnceAreAllInitialised) {
    for (int i = 0; i < 6; ++i)
        AddInstance("Parallel" + std::to_string(i), kFakeDll);
    vtxsim::MonitorHost host(kFakeDll);
    ASSERT_TRUE(host.StartInstances(true)) << host.Error();
    ASSERT_EQ(host.Instances().size(), 6u);
    std::vector<std::string> names = Names(host.EnumPorts(1));
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(host.Instances()[i].result);
        EXPECT_TRUE(Lists(names, "FAKE:Parallel" + std::to_string(i)));
    }
}

TEST_F(MonitorHostTest, AFailingInstanceKeepsItsResultAndLastError) {
    AddInstance("HostRefuse", kFakeDll);
    AddInstance("HostAccepted", kFakeDll);
    vtxsim::MonitorHost host(kFakeDll);
    EXPECT_FALSE(host.StartInstances());
    ASSERT_EQ(host.Instances().size(), 2u);
    EXPECT_FALSE(host.Instances()[0].result);
    EXPECT_EQ(host.Instances()[0].lastError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(host.Instances()[0].table.pfnEnumPorts, nullptr);
    EXPECT_TRUE(host.Instances()[1].result);
    EXPECT_THROW(host.Table("HostRefuse"), std::out_of_range);
    EXPECT_NE(host.Table("hostaccepted").pfnOpenPort, nullptr);
}

TEST_F(MonitorHostTest, TheLibraryIsFoundFromItsDllNameInTheLibraryDirectory) {
    EXPECT_EQ(vtxsim::MonitorLibraryPath("C:\\Windows\\System\\VTXPMO01.DLL"),
              std::filesystem::path(VTX_FAKE_MONITOR_DIR) / "libvtxpmo01.so");

    AddInstance("HostMissing", "vtxmissing.dll");
    vtxsim::MonitorHost missing("vtxmissing.dll");
    EXPECT_FALSE(missing.StartInstances());
    EXPECT_NE(missing.Error().find("libvtxmissing.so"), std::string::npos) << missing.Error();
    EXPECT_FALSE(missing.Instances().front().called);

    // No registered instance: nothing to load, nothing started.
    vtxsim::MonitorHost unused("vtxunused.dll");
    EXPECT_TRUE(unused.StartInstances());
    EXPECT_TRUE(unused.Instances().empty());
}

} // namespace
