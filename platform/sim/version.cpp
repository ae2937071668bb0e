// VERSION: a file's version resource. The block is found by its key, "VS_VERSION_INFO" in
// UTF-16, wherever the image keeps it; only the fixed part ("\") can be queried.
#include "platform/sim/files.h"
#include "platform/sim/machine.h"
#include "platform/sim/simulated_call.h"
#include "platform/win32api.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The block's key as the resource compiler writes it, terminator included.
std::string VersionKey() {
    std::string key;
    for (char c : std::string_view("VS_VERSION_INFO")) {
        key += c;
        key += '\0';
    }
    return key + std::string(2, '\0');
}

struct Block {
    std::string bytes;
    DWORD error = 0;
};

// The version block of a file: its bytes, or the error GetFileVersionInfoSizeA gives.
Block ReadBlock(LPCSTR fileName) {
    Block block;
    if (fileName == nullptr || fileName[0] == '\0') {
        block.error = ERROR_INVALID_PARAMETER;
        return block;
    }
    DWORD error = 0;
    std::filesystem::path host = sim::HostPathFor(fileName, &error);
    std::error_code ec;
    if (host.empty() || !std::filesystem::is_regular_file(host, ec)) {
        block.error = error != 0 ? error : ERROR_FILE_NOT_FOUND;
        return block;
    }
    if (DWORD sharing = sim::CheckSharing(host, GENERIC_READ, FILE_SHARE_READ)) {
        block.error = sharing;
        return block;
    }
    std::ifstream in(host, std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The key follows the block's length, value length and type (three WORDs).
    size_t at = image.find(VersionKey());
    if (at == std::string::npos || at < 6) {
        block.error = ERROR_RESOURCE_TYPE_NOT_FOUND;
        return block;
    }
    size_t start = at - 6;
    size_t length = static_cast<unsigned char>(image[start]) |
                    static_cast<size_t>(static_cast<unsigned char>(image[start + 1])) << 8;
    if (length < 6 || start + length > image.size()) {
        block.error = ERROR_RESOURCE_DATA_NOT_FOUND;
        return block;
    }
    block.bytes = image.substr(start, length);
    return block;
}

} // namespace

extern "C" {

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle != nullptr)
        *lpdwHandle = 0;
    return sim::SimulatedCall<DWORD>(
        {"GetFileVersionInfoSizeA", sim::OnSuccess::LeavesLastError, 0},
        [&]() -> sim::CallResult<DWORD> {
            Block block = ReadBlock(lptstrFilename);
            if (block.error != 0)
                return sim::Fail(block.error);
            return static_cast<DWORD>(block.bytes.size());
        });
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    return sim::SimulatedCall<BOOL>({"GetFileVersionInfoA", sim::OnSuccess::LeavesLastError, FALSE},
                                    [&]() -> sim::CallResult<BOOL> {
                                        if (lpData == nullptr)
                                            return sim::Fail(ERROR_INVALID_PARAMETER);
                                        Block block = ReadBlock(lptstrFilename);
                                        if (block.error != 0)
                                            return sim::Fail(block.error);
                                        // A short buffer takes what fits, as Windows does; the
                                        // block's own length stays in it.
                                        std::memcpy(lpData, block.bytes.data(),
                                                    std::min<size_t>(dwLen, block.bytes.size()));
                                        return TRUE;
                                    });
}

// Its failures set no last error: a FALSE result says all there is. It reads only the caller's
// block, so the machine lock is not taken.
BOOL WINAPI VerQueryValueA(LPCVOID pBlock, LPCSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen) {
    return sim::SimulatedCall<BOOL>(
        {"VerQueryValueA", sim::OnSuccess::LeavesLastError, FALSE, sim::Locking::ByBody},
        [&]() -> sim::CallResult<BOOL> {
            if (pBlock == nullptr || lpSubBlock == nullptr || lplpBuffer == nullptr ||
                puLen == nullptr)
                return FALSE;
            if (std::string_view(lpSubBlock) != "\\")
                return FALSE;
            const BYTE* block = static_cast<const BYTE*>(pBlock);
            const WORD length = static_cast<WORD>(block[0] | block[1] << 8);
            const WORD valueLength = static_cast<WORD>(block[2] | block[3] << 8);
            // The value follows the key, aligned to 4 bytes: 6 + 32 bytes of header, padded
            // to 40.
            constexpr size_t kValueAt = 40;
            if (valueLength < sizeof(VS_FIXEDFILEINFO) ||
                length < kValueAt + sizeof(VS_FIXEDFILEINFO))
                return FALSE;
            VS_FIXEDFILEINFO info;
            std::memcpy(&info, block + kValueAt, sizeof info);
            if (info.dwSignature != VS_FFI_SIGNATURE)
                return FALSE;
            *lplpBuffer = const_cast<BYTE*>(block + kValueAt);
            *puLen = sizeof(VS_FIXEDFILEINFO);
            return TRUE;
        });
}

} // extern "C"
