#include "scanner.h"

#include <cctype>

bool is_name_char(char ch) {
    unsigned char byte = static_cast<unsigned char>(ch);
    return std::isalnum(byte) || ch == '_' || ch == '\'';
}

std::size_t name_scan(std::string& dst, std::string_view src, std::size_t max) {
    dst.clear();
    while (dst.size() < max && dst.size() < src.size() && is_name_char(src[dst.size()])) {
        dst.push_back(src[dst.size()]);
    }
    return dst.size();
}
