// The converter's vocabulary: every HD64180 mnemonic and assembler directive with its 16-bit code.
// Instruction codes (0x1000-0x6F00) carry the mnemonic in their high byte; directive codes are
// multiples of 0x10 below 0x1000; synonyms share a code; 0x7000 marks keywords that are ignored.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "line_record.h"
#include "vocabulary.h"

struct Keyword {
    std::uint16_t code;
    std::string_view text;
};

extern const std::array<Keyword, 115> KeywordTable;

// Looks `name` (upper case) up; on a match stores the code in the record and returns it, else 0.
std::uint16_t keyword_lookup(LineRecord& record, std::string_view name);
