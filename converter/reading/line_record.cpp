#include "reading/line_record.h"

#include <algorithm>

void LineRecord::set_label(std::string_view name) {
    label.fill('\0');
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 16), label.begin());
}
