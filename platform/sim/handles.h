// Kernel object handles: files, devices and processes share one handle table per process, and
// ReadFile, WriteFile, DeviceIoControl and CloseHandle dispatch through it.
#pragma once

#include "platform/win32api.h"

#include <memory>
#include <string_view>
#include <string>

namespace sim {

class KernelObject {
  public:
    virtual ~KernelObject() = default;
    // Each returns 0 or the Win32 error code of the failure.
    virtual DWORD Read(void* buffer, DWORD count, DWORD* done);
    virtual DWORD Write(const void* buffer, DWORD count, DWORD* done);
    virtual DWORD IoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                            DWORD* returned);
    // The host descriptor of an open file, for its size and times; -1 for other objects.
    virtual int HostDescriptor() const { return -1; }
    // Called once, when the last handle to the object is closed.
    virtual void Close() {}
};

HANDLE AddHandle(std::shared_ptr<KernelObject> object);
// NULL for a handle that is not open (NULL, INVALID_HANDLE_VALUE, closed, never given).
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);
// False when the handle is not open.
bool RemoveHandle(HANDLE handle);
unsigned OpenHandleCount();

// Whether CreateFileA's name is a device path ("\\.\<number>#{class}", "\\?\usb#...").
bool IsDevicePath(std::string_view name);
// Opens a device interface path; implemented by the devices module.
// Returns NULL with *error set when the device cannot be opened.
std::shared_ptr<KernelObject> OpenDevicePath(const std::string& path, DWORD access, DWORD share,
                                             DWORD* error);

} // namespace sim
