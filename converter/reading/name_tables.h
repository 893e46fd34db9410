// The two name tables of a run: data names (EQU/DEFL/DS values, externals, macro parameters),
// filled in pass 2, and macro names, filled in pass 1. Names are significant to 16 characters
// and compared exactly, letter case included. A name has one entry: storing a data name again
// updates its value and kind in place, and a macro name is stored once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "driver/console.h"

namespace name_kind {
inline constexpr std::uint8_t value = 0;     // EQU, DEFL, DS label
inline constexpr std::uint8_t external = 1;  // EXTRN
inline constexpr std::uint8_t macro_parameter = 2;
}  // namespace name_kind

// The part of a name that counts: up to its first NUL, at most 16 characters.
std::string_view significant_name(std::string_view name);

// Hashes names as views, so that looking a name up builds no string (the hash of a view is that of
// the string with its characters).
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};
using NameIndex = std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>>;
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

struct DataNameEntry {
    std::uint16_t value = 0;
    std::string name;  // at most 16 characters
    std::uint8_t kind = name_kind::value;
};

struct DataNameTable {
    std::uint16_t capacity = 1000;
    std::vector<DataNameEntry> entries;  // in the order names were first stored
    NameIndex index;
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
    NameIndex index;
    bool full_reported = false;
    // A bit for each (first character, length) pair of the names stored, folded into 64: a name whose
    // bit is clear is no macro, and most words looked up (the labels) are told so without hashing.
    std::uint64_t shapes = 0;
};

const DataNameEntry* data_name_find(const DataNameTable& table, std::string_view name);
// Records a label as an address name (its significant part), noting whether it stands inside a
// conditional block.
void address_name_put(DataNameTable& table, std::string_view name, bool conditional = false);
bool is_address_name(const DataNameTable& table, std::string_view name);
// Inserts or updates; a full table prints "\tData Name max over" once and drops the name.
void data_name_put(DataNameTable& table, Console& console, std::string_view name, std::uint16_t value,
                   std::uint8_t kind);

// The index of the macro, or nothing.
std::optional<std::size_t> macro_name_find(const MacroNameTable& table, std::string_view name);
// Inserts when absent; a full table prints "\tMacro Name max over" once and drops the name.
void macro_name_put(MacroNameTable& table, Console& console, std::string_view name);
