// Device discovery: port names from the interface keys, interfaces that get no port, lookups.
#include "driver_install/printer_install.h"
#include "monitor_fixture.h"

namespace monitor_test {
namespace {

using Names = std::vector<std::string>;

vtxsim::RegistryValue Bytes(const std::string& text) {
    return vtxsim::RegistryValue{REG_SZ, std::vector<BYTE>(text.begin(), text.end())};
}

// Starts a document on the port, writes data and ends it; false when any step fails.
bool PrintJob(const MONITOR& table, HANDLE port, const std::string& data) {
    std::string bytes = data;
    char printer[] = "Draftaire K9";
    DWORD written = 0;
    bool ok = table.pfnStartDocPort(port, printer, 1, 1, nullptr) &&
              table.pfnWritePort(port, reinterpret_cast<LPBYTE>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()), &written) &&
              written == bytes.size();
    table.pfnEndDocPort(port);
    return ok;
}

TEST_F(MonitorTest, PortNamesComeFromTheInterfaceKeyAndComposedOnesAreWrittenBack) {
    vtxsim::PrinterSpec composed = Printer("Draftaire K9", "AB12");
    vtxsim::PrinterSpec named = Printer("Draftaire K9", "CD34");
    vtxsim::PrinterSpec empty = Printer("Draftaire K9", "EF56");
    vtxsim::InstallPrinter(composed);
    vtxsim::InstallPrinter(named);
    vtxsim::SetStringValue(InterfaceKey(named), "PortName", "LPT-Draftaire");
    StartMonitor();
    vtxsim::InstallPrinter(empty);
    vtxsim::DeleteRegistryKey(InterfaceKey(empty)); // no values, no key at all
    Rebuild();

    EXPECT_EQ(PortNames(),
              (Names{"USB/Draftaire K9/AB12", "LPT-Draftaire", "USB/Draftaire/Unknown"}));
    std::string written = "USB/Draftaire K9/AB12";
    written.push_back('\0');
    EXPECT_EQ(vtxsim::RawValue(InterfaceKey(composed), "PortName"), Bytes(written));
    EXPECT_EQ(vtxsim::StringValue(InterfaceKey(named), "PortName"), "LPT-Draftaire");
    EXPECT_EQ(vtxsim::StringValue(InterfaceKey(empty), "PortName"), "USB/Draftaire/Unknown");
    // The default port of a key without values can be printed to.
    HANDLE unknown = Open("USB/Draftaire/Unknown");
    ASSERT_NE(unknown, nullptr);
    EXPECT_TRUE(PrintJob(Table(), unknown, "to the default port"));
    EXPECT_EQ(vtxsim::ReceivedData("EF56"), "to the default port");
    Table().pfnClosePort(unknown);

    // The next pass reads the written name back; the key without values now has a PortName
    // but no Enabled, and gets no port.
    vtxsim::SetStringValue(InterfaceKey(composed), "Product", "Renamed");
    Rebuild();
    EXPECT_EQ(PortNames(), (Names{"USB/Draftaire K9/AB12", "LPT-Draftaire"}));
}

TEST_F(MonitorTest, InterfacesWithUnusableValuesGetNoPort) {
    vtxsim::PrinterSpec noEnabled = Printer("Draftaire K9", "AB12");
    noEnabled.enabled.reset();
    vtxsim::PrinterSpec noProduct = Printer("Draftaire K9", "CD34");
    vtxsim::PrinterSpec longest = Printer(std::string(255 - 5 - 2, 'P'), "S1");
    // Its composed name would be longest's plus one character: cut, they would collide.
    vtxsim::PrinterSpec tooLong = Printer(longest.product, "S1X");
    vtxsim::PrinterSpec unterminated = Printer("Draftaire K9", "EF56");
    vtxsim::PrinterSpec unterminatedName = Printer("Draftaire K9", "GH78");
    vtxsim::PrinterSpec longName = Printer("Draftaire K9", "IJ90");
    for (const auto& spec :
         {noEnabled, noProduct, longest, tooLong, unterminated, unterminatedName, longName})
        vtxsim::InstallPrinter(spec);
    vtxsim::DeleteRegistryKey(InterfaceKey(noProduct));
    vtxsim::SetStringValue(InterfaceKey(noProduct), "SerialNumber", "CD34");
    vtxsim::SetDwordValue(InterfaceKey(noProduct), "Enabled", 1);
    vtxsim::SetRawValue(InterfaceKey(unterminated), "Product", Bytes(std::string(256, 'P')));
    vtxsim::SetRawValue(InterfaceKey(unterminatedName), "PortName", Bytes(std::string(256, 'N')));
    // Longer than the name buffer (the read fails with 234): not ours to overwrite either.
    vtxsim::SetStringValue(InterfaceKey(longName), "PortName", std::string(300, 'L'));
    StartMonitor();

    std::string longestName = vtxsim::PortNameOf(longest);
    ASSERT_EQ(longestName.size(), 255u);
    EXPECT_EQ(PortNames(), Names{longestName});
    // A composed name is written back even when Enabled is missing; names that would not fit
    // are never written.
    EXPECT_EQ(vtxsim::StringValue(InterfaceKey(noEnabled), "PortName"), "USB/Draftaire K9/AB12");
    EXPECT_EQ(vtxsim::StringValue(InterfaceKey(noProduct), "PortName"), std::nullopt);
    EXPECT_EQ(vtxsim::StringValue(InterfaceKey(tooLong), "PortName"), std::nullopt);
    EXPECT_EQ(vtxsim::StringValue(InterfaceKey(unterminated), "PortName"), std::nullopt);
    EXPECT_EQ(vtxsim::RawValue(InterfaceKey(unterminatedName), "PortName"),
              Bytes(std::string(256, 'N')));
    EXPECT_EQ(vtxsim::StringValue(InterfaceKey(longName), "PortName"), std::string(300, 'L'));

    HANDLE port = Open(longestName);
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(PrintJob(Table(), port, "longest"));
    EXPECT_EQ(vtxsim::ReceivedData("S1"), "longest");
    EXPECT_EQ(vtxsim::ReceivedData("S1X"), "");
    Table().pfnClosePort(port);
}

TEST_F(MonitorTest, AnInterfaceThatCannotBeReadIsSkippedAndThePassGoesOn) {
    for (const char* serial : {"AB12", "CD34", "EF56"})
        vtxsim::InstallPrinter(Printer("Draftaire K9", serial));
    StartMonitor();
    const Names rest{"USB/Draftaire K9/CD34", "USB/Draftaire K9/EF56"};
    struct Fault {
        const char* function;
        unsigned nth; // counted from the start of a rebuild
        DWORD code;
    };
    const Fault faults[] = {
        {"SetupDiGetDeviceInterfaceDetailA", 1, ERROR_GEN_FAILURE}, // size query
        {"GlobalAlloc", 1, ERROR_NOT_ENOUGH_MEMORY},                // detail buffer
        {"SetupDiGetDeviceInterfaceDetailA", 2, ERROR_GEN_FAILURE}, // detail read
        {"RegQueryInfoKeyA", 1, ERROR_BADKEY},                      // value count
    };
    for (const Fault& fault : faults) {
        vtxsim::FailCall(fault.function, fault.nth, fault.code);
        Rebuild();
        EXPECT_EQ(PortNames(), rest) << fault.function << " call " << fault.nth;
        vtxsim::ClearFailures();
    }
    vtxsim::FailCall("SetupDiGetClassDevsA", 1, ERROR_NOT_ENOUGH_MEMORY);
    Rebuild();
    EXPECT_EQ(PortNames(), Names{}) << "a failed class query is an empty pass";
    Rebuild();
    EXPECT_EQ(PortNames().size(), 3u);
    EXPECT_EQ(vtxsim::OpenDeviceInfoListCount(), 0u);
    EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);
}

// A text value is read into a zeroed buffer and ends at its first zero byte, even when it fills
// the buffer; 122 from the read counts as success, and the value is then what the buffer holds.
TEST_F(MonitorTest, ATextValueEndsAtTheFirstZeroByteOfItsZeroedBuffer) {
    StartMonitor();
    vtxsim::PrinterSpec answered = Printer("Draftaire K9", "CD34");
    vtxsim::InstallPrinter(answered);
    // The setup API reads the interface's DeviceInstance (size, then data); the monitor then
    // reads PortName (missing) and SerialNumber.
    vtxsim::FailCall("RegQueryValueExA", 4, ERROR_INSUFFICIENT_BUFFER);
    Rebuild();
    EXPECT_EQ(PortNames(), Names{"USB/Draftaire K9/"});
    EXPECT_EQ(vtxsim::StringValue(InterfaceKey(answered), "PortName"), "USB/Draftaire K9/");

    vtxsim::PrinterSpec filled = Printer("Draftaire K9", "AB12");
    vtxsim::InstallPrinter(filled);
    std::string product = "K9";
    product.push_back('\0');
    product += std::string(256 - product.size(), 'P');
    vtxsim::SetRawValue(InterfaceKey(filled), "Product", Bytes(product));
    Rebuild();
    EXPECT_EQ(PortNames(), (Names{"USB/Draftaire K9/", "USB/K9/AB12"}));
}

TEST_F(MonitorTest, AnInterfaceWhoseEnabledWasNotReadIsAlwaysEnabled) {
    vtxsim::PrinterSpec disabled = Printer("Draftaire K9", "AB12");
    disabled.enabled = 0;
    vtxsim::InstallPrinter(disabled);
    vtxsim::InstallPrinter(Printer("Draftaire K9", "CD34"));
    StartMonitor();

    // The second interface's key can be neither opened nor created: it gets the default name,
    // and not the enabled value the disabled interface before it left.
    vtxsim::FailCall("SetupDiOpenDeviceInterfaceRegKey", 2, ERROR_ACCESS_DENIED);
    vtxsim::FailCall("SetupDiCreateDeviceInterfaceRegKeyA", 1, ERROR_ACCESS_DENIED);
    Rebuild();
    EXPECT_EQ(PortNames(), (Names{"USB/Draftaire K9/AB12", "USB/Draftaire/Unknown"}));
    HANDLE port = Open("USB/Draftaire/Unknown");
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(PrintJob(Table(), port, "unknown"));
    EXPECT_EQ(vtxsim::ReceivedData("CD34"), "unknown");
    Table().pfnClosePort(port);
}

TEST_F(MonitorTest, ADisabledPortIsListedButCannotBeOpened) {
    vtxsim::PrinterSpec disabled = Printer("Draftaire K9", "AB12");
    disabled.enabled = 0;
    vtxsim::InstallPrinter(disabled);
    StartMonitor();

    vtxsim::EnumPortsResult listed = host_.EnumPorts(2);
    ASSERT_EQ(listed.ports.size(), 1u);
    EXPECT_EQ(listed.ports[0].name, "USB/Draftaire K9/AB12");
    for (const char* name : {"USB/Draftaire K9/AB12", "USB/Draftaire K9/XX99", "USB/Draftaire K9",
                             static_cast<const char*>(nullptr)}) {
        std::string text = name != nullptr ? name : "";
        HANDLE port = reinterpret_cast<HANDLE>(uintptr_t{kMarker});
        SetLastError(kMarker);
        EXPECT_FALSE(Table().pfnOpenPort(name != nullptr ? text.data() : nullptr, &port));
        EXPECT_EQ(port, nullptr);
        EXPECT_EQ(GetLastError(), kMarker) << "no last error of the monitor's own";
    }

    vtxsim::SetDwordValue(InterfaceKey(disabled), "Enabled", 1);
    vtxsim::AdvanceTickCount(kWindow + 1);
    HANDLE port = Open("USB/Draftaire K9/AB12");
    EXPECT_NE(port, nullptr) << "the OpenPort after the window rebuilds the table";
    Table().pfnClosePort(port);
}

TEST_F(MonitorTest, PortNamesMatchWithOnlyAsciiLettersFolded) {
    vtxsim::PrinterSpec accented = Printer("Draftaire K9", "AB12");
    vtxsim::InstallPrinter(accented);
    vtxsim::SetStringValue(InterfaceKey(accented), "PortName", "USB/\xC9tiquette/AB12");
    vtxsim::InstallPrinter(Printer("Draftaire K9", "CD34"));
    StartMonitor();

    HANDLE lower = Open("usb/draftaire k9/cd34");
    EXPECT_NE(lower, nullptr);
    EXPECT_EQ(Open("USB/\xE9TIQUETTE/AB12"), nullptr);
    HANDLE exact = Open("USB/\xC9TIQUETTE/ab12");
    EXPECT_NE(exact, nullptr);
    // Once open, the port is found among the open records as the system compares names, with
    // the accented letters folded too.
    EXPECT_EQ(Open("USB/\xE9TIQUETTE/AB12"), exact);
    Table().pfnClosePort(lower);
    Table().pfnClosePort(exact);
    Table().pfnClosePort(exact);
}

class MonitorInEitherOrder : public MonitorTest,
                             public ::testing::WithParamInterface<vtxsim::EnumerationOrder> {};

// Made in the order EF56 (disabled), CD34, AB12, all with one PortName. In creation order the
// disabled one comes first and gets an entry of its own, never matched; the two enabled ones
// merge and AB12, enumerated last, wins. Sorted (Wine's order), CD34 wins over AB12, and EF56,
// enumerated last, matches the merged entry and disables it: one port, which cannot be opened.
// Windows 98 shows the first. Sorted runs name the interface keys as Wine does, by device: numbered
// ones would sort in creation order.
TEST_P(MonitorInEitherOrder, TwoEnabledInterfacesWithOneNameMergeAndTheOneEnumeratedLastWins) {
    vtxsim::SetEnumerationOrder(GetParam());
    vtxsim::PrinterSpec disabled = Printer("Draftaire K9", "EF56");
    disabled.enabled = 0;
    for (auto spec : {disabled, Printer("Draftaire K9", "CD34"), Printer("Draftaire K9", "AB12")}) {
        spec.ntInterfaceKey = GetParam() == vtxsim::EnumerationOrder::Sorted;
        vtxsim::InstallPrinter(spec);
        vtxsim::SetStringValue(InterfaceKey(spec), "PortName", "USB/Shared/1");
    }
    StartMonitor();

    if (GetParam() == vtxsim::EnumerationOrder::Sorted) {
        EXPECT_EQ(PortNames(), Names{"USB/Shared/1"});
        EXPECT_EQ(Open("USB/Shared/1"), nullptr);
        return;
    }
    EXPECT_EQ(PortNames(), (Names{"USB/Shared/1", "USB/Shared/1"}));
    HANDLE port = Open("USB/Shared/1");
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(PrintJob(Table(), port, "merged"));
    EXPECT_EQ(vtxsim::ReceivedData("AB12"), "merged");
    EXPECT_EQ(vtxsim::ReceivedData("CD34"), "");
    Table().pfnClosePort(port);
}

// Without the disabled interface, the order only decides which enabled one the port prints to.
TEST_P(MonitorInEitherOrder, TheMergedPortPrintsToTheInterfaceEnumeratedLast) {
    vtxsim::SetEnumerationOrder(GetParam());
    for (auto spec : {Printer("Draftaire K9", "CD34"), Printer("Draftaire K9", "AB12")}) {
        spec.ntInterfaceKey = GetParam() == vtxsim::EnumerationOrder::Sorted;
        vtxsim::InstallPrinter(spec);
        vtxsim::SetStringValue(InterfaceKey(spec), "PortName", "USB/Shared/1");
    }
    StartMonitor();
    const std::string last = GetParam() == vtxsim::EnumerationOrder::Sorted ? "CD34" : "AB12";
    HANDLE port = Open("USB/Shared/1");
    ASSERT_NE(port, nullptr);
    EXPECT_TRUE(PrintJob(Table(), port, "merged"));
    EXPECT_EQ(vtxsim::ReceivedData(last), "merged");
    Table().pfnClosePort(port);
}

INSTANTIATE_TEST_SUITE_P(EitherOrder, MonitorInEitherOrder,
                         ::testing::ValuesIn(vtxsim::kEnumerationOrders), [](const auto& info) {
                             return std::string(vtxsim::EnumerationOrderName(info.param));
                         });

TEST_F(MonitorTest, OnWindowsMeEachDocumentStartScansWithoutClearingOrRepeatingAPort) {
    vtxsim::SetWindowsVersion(vtxsim::WindowsVersion::WinMe);
    vtxsim::InstallPrinter(Printer("Draftaire K9", "AB12"));
    vtxsim::PrinterSpec disabled = Printer("Draftaire K9", "CD34");
    disabled.enabled = 0;
    vtxsim::InstallPrinter(disabled);
    StartMonitor();
    HANDLE port = Open("USB/Draftaire K9/AB12");
    ASSERT_NE(port, nullptr);

    vtxsim::InstallPrinter(Printer("Draftaire K9", "EF56"));
    EXPECT_EQ(PortNames().size(), 2u);
    unsigned scans = Scans();
    vtxsim::AdvanceTickCount(kWindow);
    EXPECT_TRUE(PrintJob(Table(), port, "me"));
    EXPECT_TRUE(PrintJob(Table(), port, "me"));
    EXPECT_EQ(Scans(), scans + 2);
    // New devices appear at once; a disabled interface keeps its one entry, scan after scan.
    EXPECT_EQ(PortNames(),
              (Names{"USB/Draftaire K9/AB12", "USB/Draftaire K9/CD34", "USB/Draftaire K9/EF56"}));
    // The document scans did not restart the staleness window.
    vtxsim::AdvanceTickCount(1);
    EXPECT_EQ(PortNames().size(), 3u);
    EXPECT_EQ(Scans(), scans + 3);

    // The scan comes before the started test: a refused start scans too.
    char printer[] = "Draftaire K9";
    ASSERT_TRUE(Table().pfnStartDocPort(port, printer, 1, 1, nullptr));
    SetLastError(kMarker);
    EXPECT_FALSE(Table().pfnStartDocPort(port, printer, 1, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(Scans(), scans + 5);
    Table().pfnEndDocPort(port);

    vtxsim::SetWindowsVersion(vtxsim::WindowsVersion::Win98);
    scans = Scans();
    EXPECT_TRUE(PrintJob(Table(), port, "98"));
    EXPECT_EQ(Scans(), scans);
    Table().pfnClosePort(port);
}

} // namespace
} // namespace monitor_test
