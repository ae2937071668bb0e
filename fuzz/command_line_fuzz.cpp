// The helper's command line: any text that fits its 260-byte copy leaves the model, serial and
// model key path terminated within their buffers, the options as the text names them or as they
// were, and the key path either empty or the maker's key and the model's remainder.
#include "fuzz/fuzz_input.h"
#include "common/model_remainder.h"
#include "setup_helper/helper.h"

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kKeyBase = "Software\\Kelvara\\VTXIO\\";
constexpr char kUnset[] = "unset";

// A terminated marker text, the rest of the buffer filled with a byte that is no terminator.
void Prefill(char* buffer) {
    std::memset(buffer, 0xA5, HELPER_TEXT_SIZE);
    std::memcpy(buffer, kUnset, sizeof(kUnset));
}

bool Terminated(const char* buffer) {
    return std::memchr(buffer, '\0', HELPER_TEXT_SIZE) != nullptr;
}

// What the option should give: the text from its first occurrence to the stop character or the
// end, the model without one trailing space; the marker when the text does not name it.
std::string Expected(std::string_view text, std::string_view option, char stop) {
    size_t found = text.find(option);
    if (found == std::string_view::npos)
        return kUnset;
    std::string_view value = text.substr(found + option.size());
    value = value.substr(0, value.find(stop));
    if (stop == '-' && value.ends_with(' '))
        value.remove_suffix(1);
    return std::string(value);
}

void CheckOption(const char* buffer, std::string_view text, std::string_view option, char stop) {
    fuzz::Check(Terminated(buffer), "option value not terminated in its buffer");
    fuzz::Check(Expected(text, option, stop) == buffer, "option value not the one the text names");
}

void CheckKeyPath() {
    fuzz::Check(Terminated(ModelKeyPath), "model key path not terminated in its buffer");
    std::string_view path(ModelKeyPath);
    LPCSTR remainder = ModelRemainderOf(DeviceModel);
    if (remainder != nullptr) {
        size_t offset = static_cast<size_t>(remainder - DeviceModel);
        fuzz::Check(offset < std::strlen(DeviceModel), "model remainder outside the model");
    }
    if (path.empty())
        return;
    fuzz::Check(path.starts_with(kKeyBase), "model key path outside the maker's key");
    fuzz::Check(remainder != nullptr && path.substr(kKeyBase.size()) == remainder,
                "model key path is not the base and the model's remainder");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    // WinMain refuses longer lines; the text ends at its first zero as a C string does.
    std::string bytes = input.Bytes(HELPER_TEXT_SIZE - 1);
    bytes = bytes.substr(0, bytes.find('\0'));
    // Exactly the text and its terminator, so that a read past it is seen.
    auto text = std::make_unique<char[]>(bytes.size() + 1);
    std::memcpy(text.get(), bytes.c_str(), bytes.size() + 1);

    Prefill(DeviceModel);
    Prefill(DeviceSerial);
    Prefill(ModelKeyPath);
    ParseCommandLine(text.get());
    CheckOption(DeviceModel, bytes, "-model=", '-');
    CheckOption(DeviceSerial, bytes, "-serial=", ' ');
    BuildModelKeyPath(ModelKeyPath, DeviceModel);
    CheckKeyPath();
    return 0;
}
