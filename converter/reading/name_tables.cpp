#include "reading/name_tables.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

std::string_view significant_name(std::string_view name) {
    // Only the first 16 characters can hold the NUL that ends the name early.
    name = name.substr(0, std::min<std::size_t>(name.size(), 16));
    std::size_t length = 0;
    while (length < name.size() && name[length] != '\0') ++length;
    return name.substr(0, length);
}

namespace {

using data_name_index::entry_number;
using data_name_index::slot_for;
using data_name_index::tag_of;

// The key of a name whose characters all count (at most 16 of them).
DataNameKey key_of_significant(std::string_view name) {
    std::array<char, padded_name_bytes> bytes{};
    std::copy(name.begin(), name.end(), bytes.begin());
    return padded_name(bytes.data(), name.size());
}

// The key of a name's significant part.
DataNameKey key_of(std::string_view name) { return key_of_significant(significant_name(name)); }

void grow(DataNameTable& table) {
    table.slots.assign(table.slots.empty() ? 64 : 2 * table.slots.size(), 0);
    for (std::size_t i = 0; i < table.keys.size(); ++i) {
        const DataNameKey& key = table.keys[i];
        table.slots[slot_for(table, key)] = tag_of(padded_name_hash(key)) | static_cast<std::uint32_t>(i + 1);
    }
}

}  // namespace

const DataNameEntry* data_name_find(const DataNameTable& table, std::string_view name) {
    const std::size_t number = entry_number(table, key_of(name));
    return number != 0 ? &table.entries[number - 1] : nullptr;
}

void address_name_put(DataNameTable& table, std::string_view name, bool conditional) {
    table.addresses.emplace(significant_name(name));
    if (!conditional) table.unconditional_addresses.emplace(significant_name(name));
}

bool is_address_name(const DataNameTable& table, std::string_view name) {
    // Only extended mode records addresses: elsewhere the set is empty and nothing need be hashed.
    return !table.addresses.empty() && table.addresses.contains(significant_name(name));
}

void data_name_put(DataNameTable& table, Console& console, std::string_view name, std::uint16_t value,
                   std::uint8_t kind) {
    const DataNameKey key = key_of(name);
    if (const std::size_t number = entry_number(table, key); number != 0) {
        table.entries[number - 1].value = value;
        table.entries[number - 1].kind = kind;
        return;
    }
    if (table.entries.size() < table.capacity) {
        if (2 * (table.entries.size() + 1) > table.slots.size()) grow(table);
        table.entries.push_back({value, std::string(significant_name(name)), kind});
        table.keys.push_back(key);
        table.slots[slot_for(table, key)] =
            tag_of(padded_name_hash(key)) | static_cast<std::uint32_t>(table.entries.size());
        return;
    }
    if (!table.full_reported) {
        console.write("\tData Name max over\n");
        table.full_reported = true;
    }
}

namespace {

std::uint64_t shape_bit(std::string_view name) {
    const std::size_t first = name.empty() ? 0 : static_cast<unsigned char>(name.front());
    return std::uint64_t{1} << ((first + 7 * name.size()) & 63);
}

// The slot of the macro table that holds `key`, or the free slot where it belongs; the table has slots.
std::size_t macro_slot_for(const MacroNameTable& table, const PaddedName& key) {
    return slot_for(table.slots, table.keys, key);
}

void grow(MacroNameTable& table) {
    table.slots.assign(table.slots.empty() ? 16 : 2 * table.slots.size(), 0);
    for (std::size_t i = 0; i < table.keys.size(); ++i) {
        const PaddedName& key = table.keys[i];
        table.slots[macro_slot_for(table, key)] = tag_of(padded_name_hash(key)) | static_cast<std::uint32_t>(i + 1);
    }
}

}  // namespace

std::optional<std::size_t> macro_name_find_word(const MacroNameTable& table, std::string_view word) {
    if ((table.shapes & shape_bit(word)) == 0) return std::nullopt;  // also for an empty table
    const std::uint32_t slot = table.slots[macro_slot_for(table, key_of_significant(word))];
    if (slot == 0) return std::nullopt;
    return (slot & data_name_index::entry_bits) - 1;
}

std::optional<std::size_t> macro_name_find(const MacroNameTable& table, std::string_view name) {
    return macro_name_find_word(table, significant_name(name));
}

void macro_name_put(MacroNameTable& table, Console& console, std::string_view name) {
    const std::string_view significant = significant_name(name);
    const PaddedName key = key_of_significant(significant);
    if (!table.slots.empty() && table.slots[macro_slot_for(table, key)] != 0) return;
    if (table.names.size() < table.capacity) {
        if (2 * (table.names.size() + 1) > table.slots.size()) grow(table);
        table.names.emplace_back(significant);
        table.keys.push_back(key);
        table.slots[macro_slot_for(table, key)] =
            tag_of(padded_name_hash(key)) | static_cast<std::uint32_t>(table.names.size());
        table.shapes |= shape_bit(significant);
        return;
    }
    if (!table.full_reported) {
        console.write("\tMacro Name max over\n");
        table.full_reported = true;
    }
}
