#include "reading/name_tables.h"

#include <algorithm>

std::string_view significant_name(std::string_view name) {
    // Only the first 16 characters can hold the NUL that ends the name early.
    name = name.substr(0, std::min<std::size_t>(name.size(), 16));
    std::size_t length = 0;
    while (length < name.size() && name[length] != '\0') ++length;
    return name.substr(0, length);
}

const DataNameEntry* data_name_find(const DataNameTable& table, std::string_view name) {
    auto found = table.index.find(significant_name(name));
    return found == table.index.end() ? nullptr : &table.entries[found->second];
}

void address_name_put(DataNameTable& table, std::string_view name, bool conditional) {
    table.addresses.emplace(significant_name(name));
    if (!conditional) table.unconditional_addresses.emplace(significant_name(name));
}

bool is_address_name(const DataNameTable& table, std::string_view name) {
    return table.addresses.contains(significant_name(name));
}

void data_name_put(DataNameTable& table, Console& console, std::string_view name, std::uint16_t value,
                   std::uint8_t kind) {
    const std::string_view key = significant_name(name);
    if (auto found = table.index.find(key); found != table.index.end()) {
        table.entries[found->second].value = value;
        table.entries[found->second].kind = kind;
        return;
    }
    if (table.entries.size() < table.capacity) {
        table.index.emplace(key, table.entries.size());
        table.entries.push_back({value, std::string(key), kind});
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
