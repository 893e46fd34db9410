// The converter's vocabulary: every HD64180 mnemonic and assembler directive with its 16-bit code.
// Instruction codes (0x1000-0x6F00) carry the mnemonic in their high byte; directive codes are
// multiples of 0x10 below 0x1000; synonyms share a code; 0x7000 marks keywords that are ignored.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "reading/line_record.h"
#include "reading/vocabulary.h"

struct Keyword {
    std::uint16_t code;
    std::string_view text;
};

extern const std::array<Keyword, 115> KeywordTable;

// The code of the keyword `name` (upper case, significant to 16 characters), or nothing.
std::optional<std::uint16_t> keyword_lookup(std::string_view name);

// No keyword is longer than this: each fits one 64-bit number.
inline constexpr std::size_t longest_keyword = 8;

// An index beside the table: every keyword hashed into one of 256 slots (open addressing, the
// next free slot on a collision), so that a lookup compares one or two keywords instead of scanning
// the table. A keyword's bytes are packed into one number, the first byte lowest and zeros above the
// last, and keywords are compared as such numbers with their lengths (since a name may hold a NUL).
struct KeywordIndexEntry {
    std::uint64_t packed = 0;
    std::uint16_t code = 0;
    std::uint8_t length = 0;  // 0: a free slot
};
inline constexpr std::size_t keyword_index_slots = 256;
extern const std::array<KeywordIndexEntry, keyword_index_slots> keyword_index;

constexpr std::size_t keyword_slot(std::uint64_t packed) {
    return static_cast<std::size_t>((packed * 0x9E3779B97F4A7C15ULL) >> 56);
}

// The code of a name of `length` characters (at most longest_keyword) whose bytes are packed into
// one number, or 0 when it is no keyword (no keyword has code 0): a scanner that packs a word as
// it reads it is spared packing it again, and the lookup, inline, a call and an optional.
// No two keywords pack alike (none holds a NUL), so the first entry packed like the name decides;
// a free slot, packed as 0 with length 0, ends the search as well.
inline std::uint16_t keyword_code_packed(std::uint64_t packed, std::size_t length) {
    for (std::size_t slot = keyword_slot(packed);; slot = (slot + 1) % keyword_index_slots) {
        const KeywordIndexEntry& entry = keyword_index[slot];
        if (entry.packed == packed) return entry.length == length ? entry.code : 0;
        if (entry.length == 0) return 0;
    }
}
