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

std::size_t data_name_index::add_key(std::vector<std::uint32_t>& slots, std::vector<PaddedName>& keys,
                                     const PaddedName& key, std::size_t first_size) {
    // Puts entry `i` (counted from zero) in its slot.
    const auto put = [&](std::size_t i) {
        slots[slot_for(slots, keys, keys[i])] = tag_of(padded_name_hash(keys[i])) | static_cast<std::uint32_t>(i + 1);
    };
    if (2 * (keys.size() + 1) > slots.size()) {
        slots.assign(slots.empty() ? first_size : 2 * slots.size(), 0);
        for (std::size_t i = 0; i < keys.size(); ++i) put(i);
    }
    keys.push_back(key);
    put(keys.size() - 1);
    return keys.size();
}

namespace {

using data_name_index::entry_number;

// The key of a name whose characters all count (at most 16 of them).
DataNameKey key_of_significant(std::string_view name) { return padded_name_of(name); }

// The key of a name's significant part.
DataNameKey key_of(std::string_view name) { return key_of_significant(significant_name(name)); }

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
        table.entries.push_back({value, std::string(significant_name(name)), kind});
        data_name_index::add_key(table.slots, table.keys, key, 64);
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

}  // namespace

std::optional<std::size_t> macro_name_find_word(const MacroNameTable& table, std::string_view word) {
    if ((table.shapes & shape_bit(word)) == 0) return std::nullopt;  // also for an empty table
    const std::size_t number = entry_number(table.slots, table.keys, key_of_significant(word));
    if (number == 0) return std::nullopt;
    return number - 1;
}

std::optional<std::size_t> macro_name_find(const MacroNameTable& table, std::string_view name) {
    return macro_name_find_word(table, significant_name(name));
}

void macro_name_put(MacroNameTable& table, Console& console, std::string_view name) {
    const std::string_view significant = significant_name(name);
    const PaddedName key = key_of_significant(significant);
    if (entry_number(table.slots, table.keys, key) != 0) return;
    if (table.names.size() < table.capacity) {
        table.names.emplace_back(significant);
        data_name_index::add_key(table.slots, table.keys, key, 16);
        table.shapes |= shape_bit(significant);
        return;
    }
    if (!table.full_reported) {
        console.write("\tMacro Name max over\n");
        table.full_reported = true;
    }
}
