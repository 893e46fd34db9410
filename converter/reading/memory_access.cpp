#include "reading/memory_access.h"

#include "reading/text_scan.h"

namespace {

constexpr std::size_t name_max = 16;

// The name of an address `NAME` or `NAME+1` up to its closing parenthesis, upper-cased, with the
// offset; an empty name for any other address.
std::string address_name(std::string_view text, bool& plus_one) {
    text = skip_blanks(text);
    plus_one = false;
    if (text.empty() || is_digit(text.front()) || !is_name_start(text.front())) return {};
    std::string name;
    std::size_t length = 0;
    while (length < text.size() && is_name_char(text[length])) ++length;
    name = upper_case(text.substr(0, std::min(length, name_max)));
    text = skip_blanks(text.substr(length));
    if (text.starts_with('+')) {
        text = skip_blanks(text.substr(1));
        if (!text.starts_with('1')) return {};
        text = skip_blanks(text.substr(1));
        plus_one = true;
    }
    return text.starts_with(')') ? name : std::string();
}

}  // namespace

NamedAccess named_access(const LineRecord& record, std::string_view line) {
    NamedAccess access;
    if (record.code == kw::DW) {
        if (!record.label_view().empty()) access = {Access::word, upper_case(record.label_view())};
        return access;
    }
    if (record.code != kw::LD) return access;
    const bool byte = (record.form == Form::reg_mem && record.reg1 == reg::A) ||
                      (record.form == Form::mem_reg && record.reg2 == reg::A);
    const bool word = record.form == Form::pair_mem || record.form == Form::mem_pair;
    if (!byte && !word) return access;
    bool plus_one = false;
    std::string name = address_name(text_at(line, record.col1), plus_one);
    if (name.empty() || (word && plus_one)) return access;
    return {byte ? Access::byte : Access::word, std::move(name)};
}

void note_access(MemoryAccessTable& table, const NamedAccess& access) {
    if (access.kind == Access::none) return;
    AccessKinds& kinds = table[access.name];
    (access.kind == Access::byte ? kinds.byte : kinds.word) = true;
}

bool byte_access_of_word(const MemoryAccessTable& table, const NamedAccess& access) {
    if (access.kind != Access::byte) return false;
    const auto found = table.find(access.name);
    return found != table.end() && found->second.word;
}
