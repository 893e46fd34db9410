// The .SRC writer: lays every output line out in its fixed columns (H8/300 label, mnemonic and
// operands on the left, and from column 40 a comment field that repeats the HD64180 source line,
// cut before column 255) and owns the .SRC file. Rendering is a pure function of the line, so the
// layout lives in this one place.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "driver/console.h"
#include "driver/replaced_file.h"
#include "writing/output_line.h"

// The display column reached after `text` starting at `start` (a tab goes to the next multiple of 8).
std::size_t column_after(std::string_view text, std::size_t start = 0);

// The text of one line, newline included. `source_line` is the HD64180 line as read; with
// `with_comment` it fills the comment field. A pass-through line copies the source line, and with
// `copy_h8_area` (/H) also shows it in the comment field. With `gas` the fields are written in the
// syntax of GNU as (the columns and the comment field stay).
std::string render_line(const OutputLine& line, std::string_view source_line, bool with_comment,
                        bool copy_h8_area = false, bool gas = false);

// The text of a whole translation: the first line that is not a warning gets the comment field.
std::string render_translation(const Translation& lines, std::string_view source_line, bool copy_h8_area = false,
                               bool gas = false);

class SrcWriter {
public:
    SrcWriter(Console& console, std::string path, bool copy_h8_area, bool gas = false);

    // Opens the file (a temporary file beside it, see driver/replaced_file.h); ends the run with
    // "\t%s Cannot Open" when it cannot.
    void open(const FileAccess& files = {});
    // Writes a source line's translation; a failed write ends the run with "\t%s Write Error".
    // The first line that can carries the comment field with the source line; returns whether one
    // did.
    bool write(const Translation& lines, std::string_view source_line);
    // The texts of a code line's fields.
    struct CodeTexts {
        std::string_view label;  // at most 16 characters are written, from 16 bytes that can be read
        std::string_view mnemonic;
        std::string_view operand1;
        std::string_view operand2;
    };
    // One code line of the H8/300 syntax given by its texts, with the comment field when
    // `with_comment`, while the writer is held (the block goes out on release). Of the mnemonic and
    // the operands, only those whose bits (1, 2, 4) are set in `in_strings` lie in a std::string;
    // the others are views that may end anywhere.
    void write_code_line(const CodeTexts& texts, unsigned in_strings, std::string_view source_line, bool with_comment);
    // Where the next line goes in the block of lines not yet written out.
    std::size_t position() const { return used_; }
    // While held, the block is not written out, so that a line can still be put in it.
    void hold() { held_ = true; }
    void release();
    // Puts `line` (without the comment field) at `offset` in the block; returns its size.
    std::size_t insert(std::size_t offset, const OutputLine& line);
    // Closes the file; buffered lines reach the disk only now, so a failure here is a Write Error too.
    void close();
    // Puts the closed file in place of the previous output; a failure is a Write Error.
    void commit();

private:
    // Writes the lines laid out so far; a failure ends the run with "\t%s Write Error".
    void write_block();
    // Where `size` more bytes of the block can be laid out (the block grows when it must: it is
    // written out only between two source lines' translations).
    char* room(std::size_t size) {
        if (capacity_ - used_ < size) grow(size);
        return block_.get() + used_;
    }
    void grow(std::size_t size);

    Console& console_;
    std::string path_;
    bool copy_h8_area_;
    bool gas_;
    ReplacedFile file_;
    // The lines laid out and not yet written: the first `used_` of `capacity_` bytes (written a
    // block at a time). The block is not cleared when it is made: its pages are touched only as
    // lines fill them, and a block seldom fills half of the room it has for a held translation.
    std::unique_ptr<char[]> block_;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    bool held_ = false;
    std::string line_;  // a line other than a code line, laid out alone
    // The GNU syntax: the texts of an instruction's label field and operands.
    std::string gas_label_;
    std::string gas_operand1_;
    std::string gas_operand2_;
};
