// Device interface lists, details and interface keys of the simulated SETUPAPI.
#include "driver_install/printer_install.h"
#include "platform/sim/control/device_ctl.h"
#include "platform/sim/control/fault_ctl.h"
#include "platform/sim/control/machine_ctl.h"
#include "platform/sim/control/registry_ctl.h"
#include "platform/win32api.h"
#include "support/bare_printer.h"
#include "support/machine_fixture.h"
#include "support/markers.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

using vtxtest::BarePrinter;

const GUID kPrinterClass = {
    0x5d2f7a10, 0x3c4b, 0x4e8a, {0x9b, 0x61, 0x2f, 0x0c, 0x8e, 0x4d, 0x7a, 0x93}};
const GUID kOtherClass = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
using vtxtest::kMarker;
const std::string kClassKey = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\"
                              "DeviceClasses\\{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";
// The first printer installed on a fresh machine gets the interface number 1.
const std::string kAb12Interface =
    kClassKey + "\\##.#0000000000000001#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";
const std::string kAb12Path = "\\\\.\\0000000000000001#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";
const std::string kCd34Path = "\\\\.\\0000000000000002#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";

SP_DEVICE_INTERFACE_DATA FreshInterfaceData() {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof(data);
    return data;
}

std::string DetailPath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
    std::vector<char> buffer(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, data, detail, required, nullptr, nullptr))
        return "<detail failed>";
    return detail->DevicePath;
}

// The device paths a list holds, in enumeration order.
std::vector<std::string> ListPaths(DWORD flags, const GUID& interfaceClass = kPrinterClass) {
    std::vector<std::string> paths;
    HDEVINFO set = SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE)
        return {"<no list>"};
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data = FreshInterfaceData();
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &data))
            break;
        paths.push_back(DetailPath(set, &data));
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

class SetupApiTest : public vtxtest::MachineTest {
  protected:
    void TearDown() override {
        MachineTest::TearDown();
        EXPECT_EQ(vtxsim::OpenDeviceInfoListCount(), 0u);
        EXPECT_EQ(vtxsim::OpenKeyHandleCount(), 0u);
    }
};

TEST_F(SetupApiTest, AllRegisteredInterfacesAreListedAndOnlyAttachedOnesWhenPresentIsAsked) {
    vtxsim::InstallPrinter(BarePrinter("AB12"));
    vtxsim::InstallPrinter(BarePrinter("CD34", false));

    const std::string& cd34 = kCd34Path;
    EXPECT_EQ(ListPaths(DIGCF_DEVICEINTERFACE), (std::vector<std::string>{kAb12Path, cd34}));
    EXPECT_EQ(ListPaths(DIGCF_DEVICEINTERFACE | DIGCF_PRESENT),
              std::vector<std::string>{kAb12Path});
    EXPECT_TRUE(ListPaths(DIGCF_DEVICEINTERFACE, kOtherClass).empty());

    vtxsim::AttachPrinter("CD34");
    vtxsim::DetachPrinter("AB12");
    EXPECT_EQ(ListPaths(DIGCF_DEVICEINTERFACE | DIGCF_PRESENT), std::vector<std::string>{cd34});

    // The flags tell an attached device's interface from one whose device is away.
    HDEVINFO set = SetupDiGetClassDevsA(&kPrinterClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA first = FreshInterfaceData();
    SP_DEVICE_INTERFACE_DATA second = FreshInterfaceData();
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 0, &first));
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 1, &second));
    EXPECT_EQ(first.Flags & SPINT_ACTIVE, 0u);
    EXPECT_EQ(second.Flags & SPINT_ACTIVE, static_cast<DWORD>(SPINT_ACTIVE));
    EXPECT_EQ(std::memcmp(&first.InterfaceClassGuid, &kPrinterClass, sizeof(GUID)), 0);

    SetLastError(kMarker);
    SP_DEVICE_INTERFACE_DATA past = FreshInterfaceData();
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 2, &past));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
}

// Windows 98's form: the key "##.#<number>#{class}" with "DeviceInstance" and "#\Device
// Parameters", the path "\\.\<number>#{class}"; the machine never hands a number out twice,
// and keys of the Windows 2000 form, as imported machines have them, are listed and open.
TEST_F(SetupApiTest, InterfacesAreNumberedByTheMachineAndBothFormsOpen) {
    vtxsim::InstallPrinter(BarePrinter("AB12"));
    vtxsim::InstallPrinter(BarePrinter("CD34"));
    EXPECT_EQ(
        vtxsim::SubkeyNames(kClassKey),
        (std::vector<std::string>{"##.#0000000000000001#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}",
                                  "##.#0000000000000002#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}"}));
    EXPECT_EQ(vtxsim::StringValue(kAb12Interface, "DeviceInstance"),
              "USB\\VID_0D7A&PID_0042\\AB12");
    EXPECT_EQ(vtxsim::StringValue(kAb12Interface + "\\#\\Device Parameters", "SerialNumber"),
              "AB12");
    EXPECT_EQ(vtxsim::DevicePathOf(BarePrinter("AB12")), kAb12Path);
    EXPECT_EQ(ListPaths(DIGCF_DEVICEINTERFACE), (std::vector<std::string>{kAb12Path, kCd34Path}));

    // A removed interface's number stays spent; a device installed again keeps its key.
    ASSERT_TRUE(vtxsim::DeleteRegistryKey(kAb12Interface));
    vtxsim::InstallPrinter(BarePrinter("CD34"));
    vtxsim::InstallPrinter(BarePrinter("EF56"));
    vtxsim::InstallPrinter(BarePrinter("AB12"));
    const std::string guid = "#{5d2f7a10-3c4b-4e8a-9b61-2f0c8e4d7a93}";
    EXPECT_EQ(ListPaths(DIGCF_DEVICEINTERFACE),
              (std::vector<std::string>{kCd34Path, "\\\\.\\0000000000000003" + guid,
                                        "\\\\.\\0000000000000004" + guid}));

    // A number a seeded registry brings is not handed out again, nor one beyond it.
    vtxsim::SetStringValue(kClassKey + "\\##.#0000000000000041" + guid, "DeviceInstance",
                           "USB\\VID_0D7A&PID_0042\\GH78");
    vtxsim::InstallPrinter(BarePrinter("IJ90"));
    EXPECT_EQ(vtxsim::DevicePathOf(BarePrinter("IJ90")), "\\\\.\\0000000000000042" + guid);

    // A key of the Windows 2000 form: its path is the NT one, and it opens.
    const std::string ntKey = kClassKey + "\\##?#USB#VID_0D7A&PID_0042#KL12" + guid;
    vtxsim::SetStringValue(ntKey, "DeviceInstance", "USB\\VID_0D7A&PID_0042\\KL12");
    vtxsim::AttachPrinter("USB\\VID_0D7A&PID_0042\\KL12");
    const std::string ntPath = "\\\\?\\usb#vid_0d7a&pid_0042#kl12" + guid;
    EXPECT_EQ(vtxsim::DevicePathOf(BarePrinter("KL12")), ntPath);
    for (const std::string& path : {ntPath, kCd34Path}) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
        CloseHandle(h);
    }
    // A number whose key is gone, or one with a path in it, names no device.
    for (std::string path :
         {"\\\\.\\0000000000000001" + guid, "\\\\.\\0000000000000002#..\\..\\x" + guid}) {
        SetLastError(kMarker);
        EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << path;
    }
}

TEST_F(SetupApiTest, AnInterfaceWithoutDeviceInstanceOrWithItsKeyDeletedIsGone) {
    vtxsim::InstallPrinter(BarePrinter("AB12"));
    vtxsim::InstallPrinter(BarePrinter("CD34"));
    vtxsim::SetStringValue(kClassKey + "\\##?#stray", "Note", "no DeviceInstance");

    HDEVINFO before = SetupDiGetClassDevsA(&kPrinterClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    ASSERT_TRUE(vtxsim::DeleteRegistryKey(kAb12Interface));

    EXPECT_EQ(ListPaths(DIGCF_DEVICEINTERFACE), std::vector<std::string>{kCd34Path});

    // A list made before the deletion still holds the interface, but its key is gone.
    SP_DEVICE_INTERFACE_DATA data = FreshInterfaceData();
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(before, nullptr, &kPrinterClass, 0, &data));
    EXPECT_EQ(DetailPath(before, &data), kAb12Path);
    SetLastError(kMarker);
    EXPECT_EQ(SetupDiOpenDeviceInterfaceRegKey(before, &data, 0, KEY_ALL_ACCESS),
              static_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    SetLastError(kMarker);
    EXPECT_EQ(
        SetupDiCreateDeviceInterfaceRegKeyA(before, &data, 0, KEY_ALL_ACCESS, nullptr, nullptr),
        static_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(vtxsim::KeyExists(kAb12Interface)); // not brought back
    SetupDiDestroyDeviceInfoList(before);

    ASSERT_TRUE(vtxsim::DeleteRegistryKey(kClassKey));
    EXPECT_TRUE(ListPaths(DIGCF_DEVICEINTERFACE).empty());
}

TEST_F(SetupApiTest, DetailSizeQueryShortBufferAndRecordSizesAreCheckedAsWindowsDoes) {
    vtxsim::InstallPrinter(BarePrinter("AB12"));
    HDEVINFO set = SetupDiGetClassDevsA(&kPrinterClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data = FreshInterfaceData();
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 0, &data));

    const DWORD needed = static_cast<DWORD>(
        offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + kAb12Path.size() + 1);
    DWORD required = kMarker;
    SetLastError(kMarker);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, needed);

    std::vector<char> buffer(needed + 8, '#');
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    const DWORD recordSize = sizeof(void*) == 4 ? 5 : sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);

    detail->cbSize = recordSize;
    required = kMarker;
    SetLastError(kMarker);
    EXPECT_FALSE(
        SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed - 1, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, needed);
    EXPECT_EQ(buffer[4], '#'); // nothing copied into a short buffer

    for (DWORD wrong : {recordSize - 1, recordSize + 1, DWORD{0}}) {
        detail->cbSize = wrong;
        SetLastError(kMarker);
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, nullptr))
            << wrong;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER)) << wrong;
    }
    SetLastError(kMarker);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, needed, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));

    detail->cbSize = recordSize;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    SetLastError(kMarker);
    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, needed, nullptr, &device));
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(std::string(detail->DevicePath), kAb12Path);
    EXPECT_EQ(buffer[needed], '#'); // nothing written past the path's terminator
    EXPECT_NE(device.DevInst, 0u);

    // The interface record's own size is checked at enumeration.
    SP_DEVICE_INTERFACE_DATA wrongSize = FreshInterfaceData();
    wrongSize.cbSize = sizeof(wrongSize) - 4;
    SetLastError(kMarker);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 0, &wrongSize));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));

    // Interface data that no enumeration filled in.
    SP_DEVICE_INTERFACE_DATA unfilled = FreshInterfaceData();
    SetLastError(kMarker);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &unfilled, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupApiTest, TheInterfaceKeyOpensWhenPresentAndIsCreatedBelowTheInterface) {
    vtxsim::InstallPrinter(BarePrinter("AB12"));
    const std::string parameters = kAb12Interface + "\\#\\Device Parameters";
    HDEVINFO set = SetupDiGetClassDevsA(&kPrinterClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data = FreshInterfaceData();
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 0, &data));

    SetLastError(kMarker);
    HKEY key = SetupDiOpenDeviceInterfaceRegKey(set, &data, 0, KEY_ALL_ACCESS);
    ASSERT_NE(key, static_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), 0u);
    char serial[16] = {};
    DWORD size = sizeof serial;
    EXPECT_EQ(RegQueryValueExA(key, "SerialNumber", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(serial), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(serial, "AB12");
    const char portName[] = "USB/Draftaire K9/AB12";
    EXPECT_EQ(RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(portName),
                             sizeof portName),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(vtxsim::StringValue(parameters, "PortName"), std::string(portName));

    // Without its key the interface key cannot be opened; creating makes an empty one.
    ASSERT_TRUE(vtxsim::DeleteRegistryKey(kAb12Interface + "\\#"));
    SetLastError(kMarker);
    EXPECT_EQ(SetupDiOpenDeviceInterfaceRegKey(set, &data, 0, KEY_ALL_ACCESS),
              static_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    SetLastError(kMarker);
    key = SetupDiCreateDeviceInterfaceRegKeyA(set, &data, 0, KEY_ALL_ACCESS, nullptr, nullptr);
    ASSERT_NE(key, static_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), 0u);
    RegCloseKey(key);
    EXPECT_TRUE(vtxsim::KeyExists(parameters));
    EXPECT_TRUE(vtxsim::ValueNames(parameters).empty());
    key = SetupDiOpenDeviceInterfaceRegKey(set, &data, 0, KEY_ALL_ACCESS);
    EXPECT_NE(key, static_cast<HKEY>(INVALID_HANDLE_VALUE));
    RegCloseKey(key);
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupApiTest, BadListsAndArgumentsAreRefused) {
    SetLastError(kMarker);
    EXPECT_EQ(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HDEVINFO set = SetupDiGetClassDevsA(&kPrinterClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA data = FreshInterfaceData();
    SetLastError(kMarker);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS)); // an empty machine
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    for (HDEVINFO bad : {set, static_cast<HDEVINFO>(nullptr), INVALID_HANDLE_VALUE}) {
        SetLastError(kMarker);
        EXPECT_FALSE(SetupDiEnumDeviceInterfaces(bad, nullptr, &kPrinterClass, 0, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(kMarker);
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(bad, &data, nullptr, 0, nullptr, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(kMarker);
        EXPECT_EQ(SetupDiOpenDeviceInterfaceRegKey(bad, &data, 0, KEY_READ),
                  static_cast<HKEY>(INVALID_HANDLE_VALUE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(kMarker);
        EXPECT_FALSE(SetupDiDestroyDeviceInfoList(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

TEST_F(SetupApiTest, EnumeratorAndAllClassesSelectInterfaces) {
    vtxsim::InstallPrinter(BarePrinter("AB12"));
    vtxsim::SetStringValue(
        "HKLM\\System\\CurrentControlSet\\Control\\DeviceClasses\\"
        "{11111111-2222-3333-4444-555555555555}\\##?#PCI#VEN_1#X#{11111111-2222-3333-4444-"
        "555555555555}",
        "DeviceInstance", "PCI\\VEN_1\\X");

    auto count = [](const GUID* guid, PCSTR enumerator, DWORD flags) {
        HDEVINFO set = SetupDiGetClassDevsA(guid, enumerator, nullptr, flags);
        DWORD n = 0;
        for (const GUID& g : {kPrinterClass, kOtherClass}) {
            SP_DEVICE_INTERFACE_DATA data = FreshInterfaceData();
            for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &g, index, &data);
                 ++index)
                ++n;
        }
        SetupDiDestroyDeviceInfoList(set);
        return n;
    };
    EXPECT_EQ(count(nullptr, nullptr, DIGCF_DEVICEINTERFACE | DIGCF_ALLCLASSES), 2u);
    EXPECT_EQ(count(&kPrinterClass, "usb", DIGCF_DEVICEINTERFACE), 1u);
    EXPECT_EQ(count(&kPrinterClass, "USB\\VID_0D7A&PID_0042\\AB12", DIGCF_DEVICEINTERFACE), 1u);
    EXPECT_EQ(count(&kPrinterClass, "US", DIGCF_DEVICEINTERFACE), 0u);
    EXPECT_EQ(count(&kPrinterClass, nullptr, DIGCF_PRESENT), 0u); // setup classes: none
}

TEST_F(SetupApiTest, InjectedFailuresFailEachCallWithItsCode) {
    vtxsim::InstallPrinter(BarePrinter("AB12"));
    vtxsim::FailCall("SetupDiGetClassDevsA", 1, ERROR_NOT_ENOUGH_MEMORY);
    SetLastError(kMarker);
    EXPECT_EQ(SetupDiGetClassDevsA(&kPrinterClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

    HDEVINFO set = SetupDiGetClassDevsA(&kPrinterClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA data = FreshInterfaceData();
    vtxsim::FailCall("SetupDiEnumDeviceInterfaces", 1, ERROR_GEN_FAILURE);
    SetLastError(kMarker);
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kPrinterClass, 0, &data));

    vtxsim::FailCall("SetupDiGetDeviceInterfaceDetailA", 1, ERROR_GEN_FAILURE);
    DWORD required = kMarker;
    SetLastError(kMarker);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(required, kMarker);

    vtxsim::FailCall("SetupDiOpenDeviceInterfaceRegKey", 1, ERROR_ACCESS_DENIED);
    SetLastError(kMarker);
    EXPECT_EQ(SetupDiOpenDeviceInterfaceRegKey(set, &data, 0, KEY_ALL_ACCESS),
              static_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    vtxsim::FailCall("SetupDiCreateDeviceInterfaceRegKeyA", 1, ERROR_ACCESS_DENIED);
    SetLastError(kMarker);
    EXPECT_EQ(SetupDiCreateDeviceInterfaceRegKeyA(set, &data, 0, KEY_ALL_ACCESS, nullptr, nullptr),
              static_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    vtxsim::FailCall("SetupDiDestroyDeviceInfoList", 1, ERROR_GEN_FAILURE);
    SetLastError(kMarker);
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(vtxsim::OpenDeviceInfoListCount(), 1u); // a failed destroy keeps the list
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(vtxsim::CallCount("SetupDiDestroyDeviceInfoList"), 2u);
}

} // namespace
