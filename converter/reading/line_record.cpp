#include "reading/line_record.h"

#include <algorithm>

void LineRecord::set_label(std::string_view name) {
    label.fill('\0');
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 16), label.begin());
}

RecordBytes encode_record(const LineRecord& record) {
    RecordBytes bytes{};
    bytes[0] = static_cast<unsigned char>(record.code & 0xFF);
    bytes[1] = static_cast<unsigned char>(record.code >> 8);
    bytes[2] = static_cast<unsigned char>(record.form);
    bytes[3] = record.col1;
    bytes[4] = record.col2;
    bytes[5] = record.reg1;
    bytes[6] = record.reg2;
    for (std::size_t i = 0; i < 16; ++i) bytes[7 + i] = static_cast<unsigned char>(record.label[i]);
    bytes[23] = 0;
    return bytes;
}

LineRecord decode_record(const unsigned char* bytes) {
    LineRecord record;
    record.code = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
    record.form = static_cast<Form>(bytes[2]);
    record.col1 = bytes[3];
    record.col2 = bytes[4];
    record.reg1 = bytes[5];
    record.reg2 = bytes[6];
    for (std::size_t i = 0; i < 16; ++i) record.label[i] = static_cast<char>(bytes[7 + i]);
    record.label[16] = '\0';
    return record;
}
