// The keywords that only the extended mode knows, and those whose meaning it changes (DC): the
// directives of the CP/M-era relocating assemblers that have an H8/300 counterpart or that the
// translation can pass over honestly.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The code of `name` (upper case) in the extended mode's own table, or nothing; the scanner then
// looks in the common keyword table.
std::optional<std::uint16_t> extended_keyword_lookup(std::string_view name);
