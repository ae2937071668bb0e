// Reads a fuzz input as a sequence of small fields. Past the end every field reads as zero
// or empty, so that any input, however short, describes a whole case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }
    uint16_t Word() {
        uint16_t low = Byte();
        return static_cast<uint16_t>(low | (Byte() << 8));
    }
    uint32_t Dword() {
        uint32_t low = Word();
        return low | (static_cast<uint32_t>(Word()) << 16);
    }
    // Up to count bytes, fewer when the input ends first.
    std::string Bytes(size_t count) {
        size_t take = count < size_ - used_ ? count : size_ - used_;
        std::string bytes(reinterpret_cast<const char*>(data_ + used_), take);
        used_ += take;
        return bytes;
    }
    // A length-prefixed field: one length byte, or 255 then a word for longer ones, capped.
    std::string Field(size_t cap) {
        size_t length = Byte();
        if (length == 255)
            length = Word();
        return Bytes(length < cap ? length : cap);
    }
    std::string Rest() { return Bytes(size_ - used_); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
};

// A broken invariant: stops the run where a fuzzer records the input.
[[noreturn]] inline void Violated(const char* what) {
    std::fprintf(stderr, "fuzz invariant violated: %s\n", what);
    std::abort();
}

inline void Check(bool holds, const char* what) {
    if (!holds)
        Violated(what);
}

} // namespace fuzz
