// A registry key that a simulated module opened through the public Reg* functions, closed
// when it goes out of scope.
#pragma once

#include "platform/win32api.h"

namespace sim {

class OpenKey {
  public:
    OpenKey() = default;
    ~OpenKey() {
        if (key_ != nullptr)
            RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

} // namespace sim
