#include "reading/extended_names.h"

#include "reading/name_tables.h"
#include "reading/text_scan.h"

namespace {

// The letter that follows '_' in place of an extended name character, or 0 for any other.
char respelling_letter(char ch) {
    switch (ch) {
        case '.': return 'D';
        case '$': return 'S';
        case '?': return 'Q';
        case '@': return 'A';
        default: return 0;
    }
}

bool begins_extended_name(char ch) { return is_letter(ch) || ch == '_' || ch == '?' || ch == '@'; }

// Inside a name: the ordinary name characters and the four extended ones. A '.' counts only when a
// name character follows it, so a name written before a '.' list separator keeps its end.
bool continues_extended_name(std::string_view line, std::size_t pos) {
    const char ch = line[pos];
    if (is_name_char(ch) || ch == '$' || ch == '?' || ch == '@') return true;
    return ch == '.' && pos + 1 < line.size() &&
           (is_name_start(line[pos + 1]) || respelling_letter(line[pos + 1]) != 0);
}

void record_spelling(NameSpellings& spellings, std::string_view original, std::string_view respelled,
                     std::string* clash) {
    const std::string key = upper_case(significant_name(respelled));
    const std::string from = upper_case(significant_name(original));
    auto [entry, inserted] = spellings.originals.emplace(key, from);
    if (!inserted && entry->second != from && clash != nullptr && clash->empty()) *clash = std::string(original);
}

// Keywords whose operand is text rather than names (a file name, a title, a message): the rest of
// their line is copied as written, so that INCLUDE FOO.LIB still opens FOO.LIB.
bool takes_text_operand(std::string_view word, std::string_view rest) {
    if (!rest.empty() && !is_white_space(rest.front())) return false;
    const std::string upper = upper_case(word);
    return upper == "INCLUDE" || upper == "MACLIB" || upper == "TITLE" || upper == "SUBTTL" || upper == "PRINTX" ||
           upper == "COMMENT";
}

}  // namespace

std::string respell_names(std::string_view line, NameSpellings* spellings, std::string* clash) {
    if (clash != nullptr) clash->clear();
    std::string out;
    out.reserve(line.size() + 8);
    // A line for the H8/300 assembler (a leading backslash) is copied as it stands.
    if (!line.empty() && line.front() == '\\') return std::string(line);
    std::size_t i = 0;
    while (i < line.size()) {
        const char ch = line[i];
        if (ch == ';' || ch == '\0') break;  // the comment is copied as written
        if (opens_quoted_string(line, i)) {
            const std::size_t close = line.find(ch, i + 1);
            out.append(line.substr(i, close + 1 - i));
            i = close + 1;
            continue;
        }
        const bool word_start = i == 0 || !(is_name_char(line[i - 1]) || respelling_letter(line[i - 1]) != 0);
        if (!word_start || !(begins_extended_name(ch) || is_digit(ch))) {
            out.push_back(ch);
            ++i;
            continue;
        }
        std::size_t end = i;
        if (is_digit(ch)) {
            while (end < line.size() && is_name_char(line[end])) ++end;
            out.append(line.substr(i, end - i));
            i = end;
            continue;
        }
        while (end < line.size() && continues_extended_name(line, end)) ++end;
        const std::string_view name = line.substr(i, end - i);
        std::string respelled;
        for (char c : name) {
            if (const char letter = respelling_letter(c); letter != 0) {
                respelled.push_back('_');
                respelled.push_back(letter);
            } else {
                respelled.push_back(c);
            }
        }
        if (spellings != nullptr) record_spelling(*spellings, name, respelled, clash);
        out += respelled;
        i = end;
        if (takes_text_operand(name, line.substr(i))) break;
    }
    out.append(line.substr(i));
    return out;
}
