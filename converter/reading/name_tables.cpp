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

// The key of a name's significant part.
DataNameKey key_of(std::string_view name) {
    name = significant_name(name);
    std::array<char, padded_name_bytes> bytes{};
    std::copy(name.begin(), name.end(), bytes.begin());
    return padded_name(bytes.data(), name.size());
}

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

}  // namespace

std::optional<std::size_t> macro_name_find(const MacroNameTable& table, std::string_view name) {
    name = significant_name(name);
    if ((table.shapes & shape_bit(name)) == 0) return std::nullopt;
    auto found = table.index.find(name);
    if (found == table.index.end()) return std::nullopt;
    return found->second;
}

void macro_name_put(MacroNameTable& table, Console& console, std::string_view name) {
    const std::string_view key = significant_name(name);
    if (table.index.contains(key)) return;
    if (table.names.size() < table.capacity) {
        table.index.emplace(key, table.names.size());
        table.names.emplace_back(key);
        table.shapes |= shape_bit(key);
        return;
    }
    if (!table.full_reported) {
        console.write("\tMacro Name max over\n");
        table.full_reported = true;
    }
}
