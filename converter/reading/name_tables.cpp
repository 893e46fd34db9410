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

constexpr std::size_t key_bytes = 16;
constexpr std::uint32_t entry_bits = 0xFFFF;

// For each length, its first bytes set in a 16-byte mask: the bytes behind a name are cleared in
// the order they lie in memory.
constexpr std::array<std::array<unsigned char, key_bytes>, key_bytes + 1> length_masks = [] {
    std::array<std::array<unsigned char, key_bytes>, key_bytes + 1> masks{};
    for (std::size_t length = 0; length <= key_bytes; ++length) {
        for (std::size_t i = 0; i < length; ++i) masks[length][i] = 0xFF;
    }
    return masks;
}();

// The key of the `length` bytes at `padded`, from where 16 bytes can be read.
DataNameKey key_of_padded(const char* padded, std::size_t length) {
    std::uint64_t mask_low = 0;
    std::uint64_t mask_high = 0;
    std::memcpy(&mask_low, length_masks[length].data(), 8);
    std::memcpy(&mask_high, length_masks[length].data() + 8, 8);
    DataNameKey key;
    std::memcpy(&key.low, padded, 8);
    std::memcpy(&key.high, padded + 8, 8);
    key.low &= mask_low;
    key.high &= mask_high;
    return key;
}

// The key of a name's significant part.
DataNameKey key_of(std::string_view name) {
    name = significant_name(name);
    std::array<char, key_bytes> bytes{};
    std::copy(name.begin(), name.end(), bytes.begin());
    return key_of_padded(bytes.data(), name.size());
}

std::uint64_t hash_of(const DataNameKey& key) {
    return (key.low ^ std::rotl(key.high * 0xC2B2AE3D27D4EB4FULL, 31)) * 0x9E3779B97F4A7C15ULL;
}

// The tag comes from hash bits below those that choose the slot (a table has at most 2^17 slots).
std::uint32_t tag_of(std::uint64_t hash) { return static_cast<std::uint32_t>((hash >> 24) & 0xFFFF) << 16; }

// The slot holding the key's entry, or the free slot where it belongs; the table has slots.
std::size_t slot_for(const DataNameTable& table, const DataNameKey& key) {
    const std::uint64_t hash = hash_of(key);
    const std::size_t mask = table.slots.size() - 1;
    const int shift = 64 - std::countr_zero(table.slots.size());
    const std::uint32_t tag = tag_of(hash);
    for (std::size_t at = static_cast<std::size_t>(hash >> shift);; at = (at + 1) & mask) {
        const std::uint32_t slot = table.slots[at];
        if (slot == 0) return at;
        if ((slot & ~entry_bits) == tag) {
            const DataNameKey& held = table.keys[(slot & entry_bits) - 1];
            if (held.low == key.low && held.high == key.high) return at;
        }
    }
}

// The number of the key's entry plus one, or 0 when the table holds no such name.
std::size_t entry_number(const DataNameTable& table, const DataNameKey& key) {
    if (table.slots.empty()) return 0;
    return table.slots[slot_for(table, key)] & entry_bits;
}

const DataNameEntry* find_key(const DataNameTable& table, const DataNameKey& key) {
    const std::size_t number = entry_number(table, key);
    return number != 0 ? &table.entries[number - 1] : nullptr;
}

void grow(DataNameTable& table) {
    table.slots.assign(table.slots.empty() ? 64 : 2 * table.slots.size(), 0);
    for (std::size_t i = 0; i < table.keys.size(); ++i) {
        const DataNameKey& key = table.keys[i];
        table.slots[slot_for(table, key)] = tag_of(hash_of(key)) | static_cast<std::uint32_t>(i + 1);
    }
}

}  // namespace

const DataNameEntry* data_name_find(const DataNameTable& table, std::string_view name) {
    return find_key(table, key_of(name));
}

const DataNameEntry* data_name_find_padded(const DataNameTable& table, const char* padded, std::size_t length) {
    return find_key(table, key_of_padded(padded, std::min(length, key_bytes)));
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
        table.slots[slot_for(table, key)] = tag_of(hash_of(key)) | static_cast<std::uint32_t>(table.entries.size());
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
