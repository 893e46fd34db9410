// Names of the extended mode: there '.', '$', '?' and '@' are name characters (E.OK, ?BAUD$INIT,
// @CTBL), as the CP/M-era relocating assemblers read them. Neither target assembler takes all of
// them inside a name, so every such name is respelled as soon as its line is read, the same way in
// both passes: each of the four characters becomes '_' and a letter,
//     .  -> _D      $  -> _S      ?  -> _Q      @  -> _A
// (E.OK becomes E_DOK). Everything after the line is read, the tables and the .SYM file included,
// sees only the new spelling. A name that begins with a digit is a number and is left alone, as are
// quoted strings, comments, and a '$' or '.' that begins a word ($ the location counter, .Z80).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

// The respelled names met so far (their significant part) and the names they came from, so that
// two different names that end up with one spelling (E.OK and E_DOK) are caught.
struct NameSpellings {
    std::unordered_map<std::string, std::string> originals;
};

// `line` with its names respelled. With `spellings`, every name of the line is recorded there, and
// the first name whose new spelling another name already has is put into `clash` (empty if none).
std::string respell_names(std::string_view line, NameSpellings* spellings = nullptr, std::string* clash = nullptr);
