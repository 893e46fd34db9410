// Pass 2's view of the records: the current record with its neighbours, read from the work file
// in large blocks and decoded into a window of 192 records, and the source line read ahead when a translation needs to
// see the next line before its turn.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/file_handle.h"
#include "reading/line_record.h"
#include "reading/text_input.h"

class RecordCursor {
public:
    static constexpr std::size_t window_size = 192;
    static constexpr std::size_t half = 96;

    enum class Step { record, end, read_error };

    // `work` is the work file opened for reading, named `work_name`; it holds `total` records.
    RecordCursor(File work, std::uint16_t total, std::string work_name);

    // Moves to the next record (the first one on the first call). At least the 48 records before
    // the current one and the 48 after it are always at hand. A short read of the work file prints
    // "\t%s Read Error" with the work file's name and ends the walk.
    Step advance(Console& console) {
        // Most steps only move to the next slot: inline, and the rest out of line.
        if (number_ != 0 && number_ < total_ && current_slot_ + 1 != slide_slot) {
            ++number_;
            ++current_slot_;
            return Step::record;
        }
        return advance_outside_fast_path(console);
    }

    LineRecord& current() { return window_[current_slot_]; }
    std::uint16_t number() const { return number_; }

    // The record `offset` places from the current one (negative: earlier), or nullptr when that
    // place lies before record 1, after the last record, or outside the window.
    LineRecord* at(int offset) {
        const long number = static_cast<long>(number_) + offset;
        const long slot = static_cast<long>(current_slot_) + offset;
        if (number < 1 || number > total_) return nullptr;
        if (slot < 0 || slot >= static_cast<long>(window_size)) return nullptr;
        return &window_[static_cast<std::size_t>(slot)];
    }

    // The nearest record from `offset` on, walking by `step`, that is not a comment record (the
    // neighbour walk); `offset` is left at the place reached. Nullptr when there is none.
    // Inline: every instruction looks for its neighbours.
    LineRecord* find_instruction(int& offset, int step) {
        for (LineRecord* record = at(offset); record != nullptr; record = at(offset)) {
            if (record->code != line_code::comment) return record;
            offset += step;
        }
        return nullptr;
    }

    // Reads the next line of `source` ahead; pass 2 then takes it as its next line instead of
    // reading one. False at the end of that file, or when pass 2 has not allowed it for the
    // current line (whose text it holds as a view into the file's block, which the read may refill).
    bool read_ahead(TextFile& source, bool extended);
    void allow_read_ahead(bool allowed) { read_ahead_allowed_ = allowed; }
    // The line read ahead as it is translated (in extended mode with its names respelled).
    const std::string& lookahead_line() const { return lookahead_text_; }
    // Moves the line read ahead, if any, into `line`, as the source spells it. Asked before every
    // line, and there is seldom one: the answer is inline.
    bool take_lookahead(std::string& line) { return lookahead_pending_ && move_lookahead(line); }

private:
    // The window moves by half its size whenever the current record reaches the 48th of its upper
    // half, so that 48 records on either side of it are always at hand.
    static constexpr std::size_t slide_slot = half + 48;

    Step advance_outside_fast_path(Console& console);
    bool move_lookahead(std::string& line);
    bool fill_upper_half(Console& console, std::size_t count);

    File work_;
    std::vector<unsigned char> block_;  // records read from the work file, not yet decoded
    std::size_t block_next_ = 0;        // bytes of block_ decoded
    std::size_t block_end_ = 0;         // bytes of block_ read
    std::string work_name_;
    std::uint16_t total_;
    std::array<LineRecord, window_size> window_{};
    std::size_t current_slot_ = half;
    std::uint16_t number_ = 0;  // 1-based number of the current record; 0 before the first
    std::string lookahead_line_;
    std::string lookahead_text_;
    bool lookahead_pending_ = false;
    bool read_ahead_allowed_ = false;
};
