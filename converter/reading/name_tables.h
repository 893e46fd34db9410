// The two name tables of a run: data names (EQU/DEFL/DS values, externals, macro parameters),
// filled in pass 2, and macro names, filled in pass 1. Names are significant to 16 characters
// and compared exactly, letter case included. A name has one entry: storing a data name again
// updates its value and kind in place, and a macro name is stored once.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "driver/console.h"
#include "reading/padded_name.h"

namespace name_kind {
inline constexpr std::uint8_t value = 0;     // EQU, DEFL, DS label
inline constexpr std::uint8_t external = 1;  // EXTRN
inline constexpr std::uint8_t macro_parameter = 2;
}  // namespace name_kind

// The part of a name that counts: up to its first NUL, at most 16 characters.
std::string_view significant_name(std::string_view name);

// Hashes names as views, so that looking a name up builds no string (the hash of a view is that of
// the string with its characters). Names are short, so eight bytes at a time mixed by one
// multiplication cost a fraction of the library's general hash; the table takes the hash modulo a
// prime, which spreads what the mixing leaves in the high bits.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const {
        constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15u;
        const char* const data = name.data();
        const std::size_t size = name.size();
        std::uint64_t hash = size;
        auto mix = [&hash](std::uint64_t word) {
            hash = (hash ^ word) * multiplier;
            hash ^= hash >> 29;
        };
        if (size >= 8) {
            std::size_t i = 0;
            for (; i + 8 <= size; i += 8) mix(load<std::uint64_t>(data + i));
            // The last bytes as the eight that end the name, overlapping some already mixed.
            if (i < size) mix(load<std::uint64_t>(data + size - 8));
        } else if (size >= 4) {
            mix(load<std::uint32_t>(data) | std::uint64_t{load<std::uint32_t>(data + size - 4)} << 32);
        } else if (size > 0) {
            mix(static_cast<unsigned char>(data[0]) | static_cast<unsigned char>(data[size / 2]) << 8 |
                static_cast<unsigned char>(data[size - 1]) << 16);
        }
        return static_cast<std::size_t>(hash);
    }

private:
    template <typename Word>
    static Word load(const char* bytes) {
        Word word = 0;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    }
};
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

struct DataNameEntry {
    std::uint16_t value = 0;
    std::string name;  // at most 16 characters
    std::uint8_t kind = name_kind::value;
};

// A name's significant part as the table's key.
using DataNameKey = PaddedName;

struct DataNameTable {
    std::uint16_t capacity = 1000;
    std::vector<DataNameEntry> entries;  // in the order names were first stored
    // Every operand name is looked up here, so the index is open addressing rather than a node
    // map: a power of two in size and at most half full, each slot holding an entry's number plus
    // one in its low 16 bits (a table has fewer than 65,536 entries) and 16 bits of the name's
    // hash above them, or 0 when free. `keys` holds each entry's name as its key, in entry order.
    std::vector<std::uint32_t> slots;
    std::vector<DataNameKey> keys;
    bool full_reported = false;
    // Extended mode: every label of the program, recorded in pass 1. Such a name has no value
    // here; it is written symbolically for the assembler to resolve.
    NameSet addresses;
    // The labels of `addresses` defined somewhere outside every conditional block.
    NameSet unconditional_addresses;
};

struct MacroNameTable {
    std::uint16_t capacity = 100;
    std::vector<std::string> names;  // position = the macro's index
    // Open addressing as in the data-name table: a power of two in size and at most half full, each
    // slot holding a name's index plus one in its low 16 bits and 16 bits of its hash above them,
    // or 0 when free; `keys` holds each name as its key, in index order.
    std::vector<std::uint32_t> slots;
    std::vector<PaddedName> keys;
    bool full_reported = false;
    // A bit for each (first character, length) pair of the names stored, folded into 64: a name whose
    // bit is clear is no macro, and most words looked up (the labels) are told so without hashing.
    std::uint64_t shapes = 0;
};

const DataNameEntry* data_name_find(const DataNameTable& table, std::string_view name);

// The lookup itself, inline: every name of an operand comes this way. The macro-name table and the
// table of names accessed in memory are indexes of the same kind.
namespace data_name_index {

inline constexpr std::uint32_t entry_bits = 0xFFFF;

// The tag comes from hash bits below those that choose the slot (a table has at most 2^17 slots).
inline std::uint32_t tag_of(std::uint64_t hash) { return static_cast<std::uint32_t>((hash >> 24) & 0xFFFF) << 16; }

// The slot holding the key's entry, or the free slot where it belongs, in an index of `slots` (a
// power of two of them, at most half used) over the entries' `keys`.
inline std::size_t slot_for(const std::vector<std::uint32_t>& slots, const std::vector<PaddedName>& keys,
                            const PaddedName& key) {
    const std::uint64_t hash = padded_name_hash(key);
    const std::size_t mask = slots.size() - 1;
    const int shift = 64 - std::countr_zero(slots.size());
    const std::uint32_t tag = tag_of(hash);
    for (std::size_t at = static_cast<std::size_t>(hash >> shift);; at = (at + 1) & mask) {
        const std::uint32_t slot = slots[at];
        if (slot == 0) return at;
        if ((slot & ~entry_bits) == tag) {
            const PaddedName& held = keys[(slot & entry_bits) - 1];
            if (held.low == key.low && held.high == key.high) return at;
        }
    }
}

inline std::size_t slot_for(const DataNameTable& table, const DataNameKey& key) {
    return slot_for(table.slots, table.keys, key);
}

// The number of the key's entry plus one, or 0 when the index holds no such name.
inline std::size_t entry_number(const std::vector<std::uint32_t>& slots, const std::vector<PaddedName>& keys,
                                const PaddedName& key) {
    if (slots.empty()) return 0;
    return slots[slot_for(slots, keys, key)] & entry_bits;
}

inline std::size_t entry_number(const DataNameTable& table, const DataNameKey& key) {
    return entry_number(table.slots, table.keys, key);
}

// Adds `key`, which the index does not hold, as the entry after the last, first growing the index
// (to `first_size` slots, then by doubling) when it would be more than half full; returns the
// entry's number plus one.
std::size_t add_key(std::vector<std::uint32_t>& slots, std::vector<PaddedName>& keys, const PaddedName& key,
                    std::size_t first_size);

}  // namespace data_name_index

// The same as data_name_find for a name of `length` (at most 16) name characters at `padded`, from
// where 16 bytes can be read: the expression walks upper-case their names into such a buffer as
// they scan them.
inline const DataNameEntry* data_name_find_padded(const DataNameTable& table, const char* padded, std::size_t length) {
    const std::size_t number =
        data_name_index::entry_number(table, padded_name(padded, std::min(length, padded_name_bytes)));
    return number != 0 ? &table.entries[number - 1] : nullptr;
}
// Records a label as an address name (its significant part), noting whether it stands inside a
// conditional block.
void address_name_put(DataNameTable& table, std::string_view name, bool conditional = false);
bool is_address_name(const DataNameTable& table, std::string_view name);
// Inserts or updates; a full table prints "\tData Name max over" once and drops the name.
void data_name_put(DataNameTable& table, Console& console, std::string_view name, std::uint16_t value,
                   std::uint8_t kind);

// The index of the macro, or nothing.
std::optional<std::size_t> macro_name_find(const MacroNameTable& table, std::string_view name);
// The same for a word of at most 16 name characters, as the scanner reads one: all of it counts.
std::optional<std::size_t> macro_name_find_word(const MacroNameTable& table, std::string_view word);
// Inserts when absent; a full table prints "\tMacro Name max over" once and drops the name.
void macro_name_put(MacroNameTable& table, Console& console, std::string_view name);
