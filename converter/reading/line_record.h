// LineRecord: what pass 1 learned about one source line, and the work file that carries the
// records from pass 1 to pass 2 as a plain sequence of 24-byte little-endian records.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "reading/padded_name.h"
#include "reading/vocabulary.h"

// The label held in 16 zero-padded bytes at `padded`: most records have none. A label holds no
// NUL, so its length is the place of the first zero byte, found in both halves at once.
inline std::string_view padded_label(const char* padded) {
    if (padded[0] == '\0') return {};
    if constexpr (std::endian::native == std::endian::little) {
        // A byte's high bit is set in (x - 0x01...) & ~x where the byte is zero or a borrow reached
        // it, and a borrow comes only from a zero byte below: the lowest bit set is the first zero.
        constexpr std::uint64_t ones = 0x0101010101010101ULL;
        constexpr std::uint64_t high_bits = ones * 0x80;
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        std::memcpy(&low, padded, 8);
        std::memcpy(&high, padded + 8, 8);
        const std::uint64_t zero_low = (low - ones) & ~low & high_bits;
        if (zero_low != 0) return std::string_view(padded, static_cast<std::size_t>(std::countr_zero(zero_low)) / 8);
        const std::uint64_t zero_high = (high - ones) & ~high & high_bits;
        return std::string_view(padded,
                                zero_high != 0 ? 8 + static_cast<std::size_t>(std::countr_zero(zero_high)) / 8 : 16);
    }
    const void* end = std::memchr(padded, '\0', 16);
    return std::string_view(padded,
                            end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - padded) : 16);
}

struct LineRecord {
    std::uint16_t code = 0;
    Form form = Form::none;  // for a macro call: the low byte of its macro index
    std::uint8_t col1 = 0;   // column where the operand (or the expression the form needs) begins
    std::uint8_t col2 = 0;   // column of a second expression (forms 11, 12, 42, 43)
    std::uint8_t reg1 = 0;
    std::uint8_t reg2 = 0;
    std::array<char, 17> label{};  // at most 16 characters, zero-padded; the 17th byte stays zero

    std::string_view label_view() const { return padded_label(label.data()); }
    // Whether the record carries a label: its first byte is set (the label is zero-padded).
    bool has_label() const { return label[0] != '\0'; }
    void set_label(std::string_view name);  // keeps the first 16 characters
    bool operator==(const LineRecord&) const = default;
};

// Inline, and without a call to copy: every labelled line sets its label, as the zero-padded key
// of its first 16 characters (the 17th byte stays zero).
inline void LineRecord::set_label(std::string_view name) {
    const PaddedName padded = padded_name_of(name.substr(0, 16));
    std::memcpy(label.data(), &padded.low, 8);
    std::memcpy(label.data() + 8, &padded.high, 8);
    label[16] = '\0';
}

inline constexpr std::size_t record_size = 24;
using RecordBytes = std::array<unsigned char, record_size>;

// Whether a record's bytes in memory are its encoding already (but for the last byte): true on
// the little-endian machines this is built for, where a record is then copied whole.
inline constexpr bool record_is_its_encoding =
    std::endian::native == std::endian::little && sizeof(LineRecord) == record_size &&
    offsetof(LineRecord, form) == 2 && offsetof(LineRecord, col1) == 3 && offsetof(LineRecord, col2) == 4 &&
    offsetof(LineRecord, reg1) == 5 && offsetof(LineRecord, reg2) == 6 && offsetof(LineRecord, label) == 7;

inline RecordBytes encode_record(const LineRecord& record) {
    RecordBytes bytes{};
    if constexpr (record_is_its_encoding) {
        std::memcpy(bytes.data(), &record, record_size);
        bytes[23] = 0;
        return bytes;
    }
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

inline LineRecord decode_record(const unsigned char* bytes) {
    LineRecord record;
    if constexpr (record_is_its_encoding) {
        std::memcpy(&record, bytes, record_size);
        record.label[16] = '\0';
        return record;
    }
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

// The code and the label of an encoded record, read without decoding the rest of it.
inline std::uint16_t encoded_code(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
inline std::string_view encoded_label(const unsigned char* bytes) {
    return padded_label(reinterpret_cast<const char*>(bytes + 7));
}

// The text of `line` from a record column on; empty when the column lies past its end.
inline std::string_view text_at(std::string_view line, std::size_t column) {
    return column <= line.size() ? line.substr(column) : std::string_view();
}

// The macro-table index of a macro call: its low byte in form, the high byte in col2 (which a macro
// call does not use otherwise), so that macro number 256 and up keep their own names.
inline std::size_t macro_index(const LineRecord& record) {
    return static_cast<std::size_t>(record.form) | static_cast<std::size_t>(record.col2) << 8;
}
inline void set_macro_index(LineRecord& record, std::size_t index) {
    record.form = static_cast<Form>(index & 0xFF);
    record.col2 = static_cast<std::uint8_t>(index >> 8);
}
