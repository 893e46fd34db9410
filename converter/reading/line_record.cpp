#include "reading/line_record.h"

#include <algorithm>
#include <cstring>

void LineRecord::set_label(std::string_view name) {
    label = {};
    if (!name.empty()) std::memcpy(label.data(), name.data(), std::min<std::size_t>(name.size(), 16));
}
