// Helpers for the formatter tests: lines full of tabs are written with "→" for each tab, as they
// would be drawn on paper, and small files are made and read back whole.
#pragma once

#include <string>
#include <string_view>

// Replaces every "→" by a tab.
inline std::string tabs(std::string_view drawn) {
    static constexpr std::string_view arrow = "→";
    std::string text;
    for (std::size_t i = 0; i < drawn.size();) {
        if (drawn.substr(i, arrow.size()) == arrow) {
            text += '\t';
            i += arrow.size();
        } else {
            text += drawn[i++];
        }
    }
    return text;
}
