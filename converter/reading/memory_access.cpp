#include "reading/memory_access.h"

#include <algorithm>
#include <cstring>

#include "reading/text_scan.h"

namespace {

constexpr std::size_t name_max = 16;

// Stores the upper-cased name (its first 16 characters) in `access`, eight bytes at a time.
void set_name(NamedAccess& access, std::string_view name) {
    access.length = static_cast<std::uint8_t>(std::min(name.size(), name_max));
    const PaddedName padded = padded_name_of(name.substr(0, access.length));
    const std::uint64_t low = upper_case_eight(padded.low);
    const std::uint64_t high = upper_case_eight(padded.high);
    std::memcpy(access.name.data(), &low, 8);
    std::memcpy(access.name.data() + 8, &high, 8);
}

// The name of an address `NAME` or `NAME+1` up to its closing parenthesis, with the offset, stored
// in `access`; false for any other address.
bool address_name(std::string_view text, NamedAccess& access, bool& plus_one) {
    text = skip_blanks(text);
    plus_one = false;
    if (text.empty() || is_digit(text.front()) || !is_name_start(text.front())) return false;
    std::size_t length = 0;
    while (length < text.size() && is_name_char(text[length])) ++length;
    set_name(access, text.substr(0, length));
    text = skip_blanks(text.substr(length));
    if (text.starts_with('+')) {
        text = skip_blanks(text.substr(1));
        if (!text.starts_with('1')) return false;
        text = skip_blanks(text.substr(1));
        plus_one = true;
    }
    return text.starts_with(')');
}

}  // namespace

NamedAccess named_access_of_ld_or_dw(const LineRecord& record, std::string_view line) {
    NamedAccess access;
    if (record.code == kw::DW) {
        if (!record.label_view().empty()) {
            access.kind = Access::word;
            set_name(access, record.label_view());
        }
        return access;
    }
    if (record.code != kw::LD) return access;
    const bool byte = (record.form == Form::reg_mem && record.reg1 == reg::A) ||
                      (record.form == Form::mem_reg && record.reg2 == reg::A);
    const bool word = record.form == Form::pair_mem || record.form == Form::mem_pair;
    if (!byte && !word) return access;
    bool plus_one = false;
    if (!address_name(text_at(line, record.col1), access, plus_one) || access.length == 0 || (word && plus_one)) {
        access = NamedAccess{};
        return access;  // every path returns `access`, which is then made in the caller's place
    }
    access.kind = byte ? Access::byte : Access::word;
    return access;
}

void note_access(MemoryAccessTable& table, const NamedAccess& access) {
    if (access.kind == Access::none) return;
    const PaddedName key = padded_name(access.name.data(), access.length);
    std::size_t number = data_name_index::entry_number(table.slots, table.keys, key);
    if (number == 0) {
        // A source has fewer lines, so fewer names, than an entry number can count.
        number = data_name_index::add_key(table.slots, table.keys, key, 64);
        table.kinds.emplace_back();
    }
    AccessKinds& kinds = table.kinds[number - 1];
    (access.kind == Access::byte ? kinds.byte : kinds.word) = true;
}

bool is_word_name(const MemoryAccessTable& table, std::string_view name) {
    if (name.size() > padded_name_bytes) return false;
    const std::size_t number = data_name_index::entry_number(table.slots, table.keys, padded_name_of(name));
    return number != 0 && table.kinds[number - 1].word;
}
