// The helper's model settings and deferred rename on arbitrary machines: the numbered
// "PortName<n>" search over values of any type and length, and a "RENAME" entry appended to
// whatever wininit.ini holds. Both end, stay inside their buffers, and the section never loses
// an entry.
#include "fuzz/fuzz_input.h"
#include "platform/sim/control/simctl.h"
#include "setup_helper/helper.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kModelKey = "Software\\Kelvara\\VTXIO\\K9";
constexpr const char* kWininit = "C:\\WINDOWS\\wininit.ini";
constexpr size_t kMaxPortNames = 6;
constexpr size_t kMaxValueSize = 600;
constexpr size_t kMaxTextSize = 300;
constexpr size_t kMaxRepeats = 64;
constexpr size_t kSectionBufferSize = 1 << 20;

// Text up to its first zero, as a C string reads it.
std::string TextOf(std::string bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// "PortName1".. with arbitrary types and bytes, some numbers left out; what each reads as text.
std::vector<std::string> MakePortNames(fuzz::FuzzInput& input) {
    std::vector<std::string> texts;
    size_t count = input.Byte() % (kMaxPortNames + 1);
    const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + kModelKey;
    vtxsim::SetStringValue(key, "SetupExecFile", "vtxsetup.exe");
    for (size_t n = 1; n <= count; n++) {
        uint8_t control = input.Byte();
        if ((control & 3) == 0)
            continue;
        std::string bytes = input.Field(kMaxValueSize);
        vtxsim::SetRawValue(
            key, "PortName" + std::to_string(n),
            {static_cast<DWORD>(control >> 2), std::vector<BYTE>(bytes.begin(), bytes.end())});
        texts.push_back(TextOf(bytes));
    }
    return texts;
}

void CheckPortNameSearch(const std::vector<std::string>& stored) {
    // Exactly the helper's buffer size, so that a write past it is seen.
    auto data = std::make_unique<char[]>(HELPER_TEXT_SIZE);
    std::memset(data.get(), 0xA5, HELPER_TEXT_SIZE);
    DWORD type = 0;
    DWORD result = ReadModelValue(kModelKey, "PortName", &type, data.get());
    fuzz::Check(std::memchr(data.get(), '\0', HELPER_TEXT_SIZE) != nullptr,
                "the port name is not terminated in its buffer");
    std::string_view found(data.get());
    if (result != ERROR_SUCCESS) {
        fuzz::Check(found.empty(), "a failed search leaves text");
        return;
    }
    if (DeviceSerial[0] == '\0')
        return;
    fuzz::Check(found.find(DeviceSerial) != std::string_view::npos,
                "the port name found does not hold the serial");
    bool stored_text = false;
    for (const std::string& text : stored)
        stored_text = stored_text || text == found;
    fuzz::Check(stored_text, "the port name found is no stored value");
}

// The entries of the "RENAME" section as the system reads them.
std::vector<std::string> RenameEntries() {
    std::vector<char> buffer(kSectionBufferSize);
    DWORD length = GetPrivateProfileSectionA("RENAME", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), "wininit.ini");
    std::vector<std::string> entries;
    for (size_t at = 0; at < length;) {
        std::string entry(buffer.data() + at);
        at += entry.size() + 1;
        entries.push_back(entry);
    }
    return entries;
}

void CheckRenameEntry(fuzz::FuzzInput& input) {
    const uint8_t repeats = input.Byte();
    const std::string piece = input.Field(kMaxValueSize);
    const std::string key = TextOf(input.Field(kMaxTextSize));
    const std::string value = TextOf(input.Field(kMaxTextSize));
    if (repeats != 0) {
        std::string contents;
        for (size_t i = 0; i < repeats % (kMaxRepeats + 1); i++)
            contents += piece;
        vtxsim::PutFile(kWininit, contents);
    }
    const std::optional<std::string> fileBefore = vtxsim::GetFileContents(kWininit);
    const std::vector<std::string> before = RenameEntries();

    DWORD result = AppendRenameEntry(key.c_str(), value.c_str());
    const std::vector<std::string> after = RenameEntries();
    fuzz::Check(after.size() >= before.size() &&
                    std::equal(before.begin(), before.end(), after.begin()),
                "the RENAME section lost or changed an entry");
    if (result != ERROR_SUCCESS) {
        fuzz::Check(result == HELPER_ERROR_RENAME_NOT_SAVED, "a rename result other than 1003");
        fuzz::Check(vtxsim::GetFileContents(kWininit) == fileBefore,
                    "a rename entry not saved changed wininit.ini");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    vtxsim::ResetMachine();
    vtxsim::ClearFailures();

    const std::string serial = TextOf(input.Field(HELPER_TEXT_SIZE - 1));
    std::memcpy(DeviceSerial, serial.c_str(), serial.size() + 1);
    CheckPortNameSearch(MakePortNames(input));
    CheckRenameEntry(input);
    return 0;
}
