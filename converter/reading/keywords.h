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
// The same for a name of `length` characters (at most longest_keyword) whose bytes are packed into
// one number, the first byte lowest and zeros above the last: a scanner that packs a word as it
// reads it is spared packing it again.
std::optional<std::uint16_t> keyword_lookup_packed(std::uint64_t packed, std::size_t length);
