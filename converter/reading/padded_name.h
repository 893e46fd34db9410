// A name of at most 16 characters as two numbers: its bytes zero-padded to 16 and read as two
// 64-bit words. Names hold no NUL, so the padding tells their lengths apart, and two names are the
// same when both words are: hashed and compared so, a name costs a few operations whatever its
// letters. The branch-label index and the data-name table both look their names up this way.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

struct PaddedName {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
};

inline constexpr std::size_t padded_name_bytes = 16;

// For each length, its first bytes set in a 16-byte mask: the bytes behind a name are cleared in
// the order they lie in memory.
inline constexpr std::array<std::array<unsigned char, padded_name_bytes>, padded_name_bytes + 1> padded_name_masks =
    [] {
        std::array<std::array<unsigned char, padded_name_bytes>, padded_name_bytes + 1> masks{};
        for (std::size_t length = 0; length <= padded_name_bytes; ++length) {
            for (std::size_t i = 0; i < length; ++i) masks[length][i] = 0xFF;
        }
        return masks;
    }();

// The name of the `length` (at most 16) bytes at `padded`, from where 16 bytes can be read.
inline PaddedName padded_name(const char* padded, std::size_t length) {
    std::uint64_t mask_low = 0;
    std::uint64_t mask_high = 0;
    std::memcpy(&mask_low, padded_name_masks[length].data(), 8);
    std::memcpy(&mask_high, padded_name_masks[length].data() + 8, 8);
    PaddedName name;
    std::memcpy(&name.low, padded, 8);
    std::memcpy(&name.high, padded + 8, 8);
    name.low &= mask_low;
    name.high &= mask_high;
    return name;
}

// The name of `name` (at most 16 bytes), wherever it lies: its bytes are read from its two ends
// in overlapping moves, so that a short name costs no call and no copy into a buffer.
inline PaddedName padded_name_of(std::string_view name) {
    const std::size_t length = name.size();
    const char* bytes = name.data();
    PaddedName padded;
    if constexpr (std::endian::native == std::endian::little) {
        if (length > 8) {
            std::memcpy(&padded.low, bytes, 8);
            std::memcpy(&padded.high, bytes + length - 8, 8);
            padded.high >>= 8 * (padded_name_bytes - length);  // drops the bytes that low holds
            return padded;
        }
        if (length >= 4) {
            std::uint32_t first = 0;
            std::uint32_t last = 0;
            std::memcpy(&first, bytes, 4);
            std::memcpy(&last, bytes + length - 4, 4);
            padded.low = first | std::uint64_t{last} << (8 * (length - 4));
            return padded;
        }
        for (std::size_t i = 0; i < length; ++i)
            padded.low |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
        return padded;
    }
    std::array<char, padded_name_bytes> buffer{};
    if (length != 0) std::memcpy(buffer.data(), bytes, length);  // an empty view may hold no pointer
    return padded_name(buffer.data(), length);
}

inline std::uint64_t padded_name_hash(const PaddedName& name) {
    return (name.low ^ std::rotl(name.high * 0xC2B2AE3D27D4EB4FULL, 31)) * 0x9E3779B97F4A7C15ULL;
}
