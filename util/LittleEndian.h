// Little-endian integers in byte buffers, as the book files (LIT, PAWK, ZIP, the pagination file)
// store them. Reads never leave the buffer: bytes past the end of the span read as zero, so a field
// cut short by the end of the data comes out with its missing high bytes clear. Callers check
// lengths where a short field matters.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>

namespace pagewick {

// The bytes of a string read as a buffer.
inline std::span<const uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

template <typename T>
constexpr T LoadLe(std::span<const uint8_t> bytes, size_t at) {
    static_assert(std::is_unsigned_v<T>);
    T value = 0;
    if (at <= bytes.size() && bytes.size() - at >= sizeof(T)) {
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= T(T(bytes[at + i]) << (8 * i));
        return value;
    }
    for (size_t i = 0; at < bytes.size() && i < bytes.size() - at && i < sizeof(T); ++i)
        value |= T(T(bytes[at + i]) << (8 * i));
    return value;
}

// The 16-bit value at p, for loops that keep their own bounds (a text window's characters): one
// load where the machine is little-endian.
inline uint16_t Le16At(const uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        uint16_t value;
        std::memcpy(&value, p, sizeof value);
        return value;
    } else {
        return uint16_t(p[0] | p[1] << 8);
    }
}

// count 16-bit characters stored at out low byte first (a text window's form): one copy where
// the machine is little-endian.
inline void StoreLe16Units(uint8_t* out, const char16_t* text, size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, text, count * sizeof(char16_t));
    } else {
        for (size_t i = 0; i < count; ++i) {
            out[2 * i] = uint8_t(text[i]);
            out[2 * i + 1] = uint8_t(text[i] >> 8);
        }
    }
}

constexpr uint16_t Le16(std::span<const uint8_t> bytes, size_t at = 0) {
    return LoadLe<uint16_t>(bytes, at);
}
constexpr uint32_t Le32(std::span<const uint8_t> bytes, size_t at = 0) {
    return LoadLe<uint32_t>(bytes, at);
}
constexpr uint64_t Le64(std::span<const uint8_t> bytes, size_t at = 0) {
    return LoadLe<uint64_t>(bytes, at);
}

// Writes the 32-bit value at `at`; bytes that would fall past the end of the span are dropped.
constexpr void StoreLe32(std::span<uint8_t> bytes, size_t at, uint32_t value) {
    for (size_t i = 0; at < bytes.size() && i < bytes.size() - at && i < 4; ++i)
        bytes[at + i] = uint8_t(value >> (8 * i));
}

}  // namespace pagewick
