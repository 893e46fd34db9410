// Names that the program reads or writes in memory both as bytes and as words. The H8/300 keeps a
// word's high byte first where the HD64180 keeps its low byte first, so a name used both ways may
// read back the other byte. Pass 1 sees every line, so a use after the access counts too.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reading/line_record.h"
#include "reading/name_tables.h"
#include "reading/padded_name.h"

enum class Access { none, byte, word };

// A direct memory access tied to a name: LD A,(X), LD (X),A and LD A,(X+1) are byte accesses of
// X; LD rr,(X), LD (X),rr and X labelling a DW are word accesses. Accesses through a pointer or
// an index register cannot be tied to a name.
struct NamedAccess {
    Access kind = Access::none;
    std::uint8_t length = 0;
    std::array<char, 16> name{};  // upper case, significant to 16 characters
    std::string_view name_view() const { return std::string_view(name.data(), length); }
};

struct AccessKinds {
    bool byte = false;
    bool word = false;
};
// The names accessed, with the kinds of access each had: an index over the names as padded keys,
// as the data-name table keeps its names (name_tables.h), and the kinds by entry beside the keys.
struct MemoryAccessTable {
    std::vector<std::uint32_t> slots;
    std::vector<PaddedName> keys;
    std::vector<AccessKinds> kinds;
};

NamedAccess named_access_of_ld_or_dw(const LineRecord& record, std::string_view line);

// The named access of a classified instruction or DW line; `line` is the source line in either
// letter case. Only LD and DW lines have one: every instruction of pass 2 asks, so the others are
// told here without a call.
inline NamedAccess named_access(const LineRecord& record, std::string_view line) {
    if (record.code == kw::LD) {
        // Only these forms name an address (with A or a pair on the other side).
        switch (record.form) {
            case Form::reg_mem:
            case Form::mem_reg:
            case Form::pair_mem:
            case Form::mem_pair: return named_access_of_ld_or_dw(record, line);
            default: return NamedAccess{};
        }
    }
    // A DW names its label, when it has one.
    if (record.code == kw::DW && record.has_label()) return named_access_of_ld_or_dw(record, line);
    return NamedAccess{};
}

void note_access(MemoryAccessTable& table, const NamedAccess& access);

bool is_word_name(const MemoryAccessTable& table, std::string_view name);

// Whether `access` is a byte access of a name the program also uses as a word.
inline bool byte_access_of_word(const MemoryAccessTable& table, const NamedAccess& access) {
    return access.kind == Access::byte && is_word_name(table, access.name_view());
}
