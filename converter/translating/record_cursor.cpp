#include "translating/record_cursor.h"

#include <algorithm>
#include <cstring>

#include "reading/extended_names.h"
#include "reading/work_file.h"

RecordCursor::RecordCursor(File work, std::uint16_t total, std::string work_name)
    : work_(std::move(work)),
      block_(work_block_records * record_size),
      work_name_(std::move(work_name)),
      total_(total) {}

bool RecordCursor::fill_upper_half(Console& console, std::size_t count) {
    for (std::size_t filled = 0; filled < count;) {
        if (block_next_ == block_end_) {
            block_next_ = 0;
            block_end_ = std::fread(block_.data(), record_size, work_block_records, work_.get()) * record_size;
            if (block_end_ == 0) {
                console.print("\t%s Read Error\n", work_name_.c_str());
                return false;
            }
        }
        if constexpr (record_is_its_encoding) {
            // As many records as the block holds and the window wants, copied at once.
            const std::size_t copied = std::min(count - filled, (block_end_ - block_next_) / record_size);
            std::memcpy(&window_[half + filled], block_.data() + block_next_, copied * record_size);
            for (std::size_t i = 0; i < copied; ++i) window_[half + filled + i].label[16] = '\0';
            block_next_ += copied * record_size;
            filled += copied;
        } else {
            window_[half + filled] = decode_record(block_.data() + block_next_);
            block_next_ += record_size;
            ++filled;
        }
    }
    return true;
}

RecordCursor::Step RecordCursor::advance_outside_fast_path(Console& console) {
    auto slide = [this] { std::copy(window_.begin() + half, window_.end(), window_.begin()); };
    if (number_ == 0) {
        slide();  // the upper half is still zero: this clears the lower half
        if (!fill_upper_half(console, std::min<std::size_t>(total_, half))) return Step::read_error;
        number_ = 1;
        current_slot_ = half;
    } else {
        ++number_;
        ++current_slot_;
    }
    if (number_ > total_) return Step::end;
    if (current_slot_ == slide_slot) {
        slide();
        current_slot_ -= half;
        const long unread = static_cast<long>(total_) - number_ - 47;
        if (unread > 0 && !fill_upper_half(console, static_cast<std::size_t>(std::min<long>(unread, half)))) {
            return Step::read_error;
        }
    }
    return Step::record;
}

bool RecordCursor::read_ahead(TextFile& source, bool extended) {
    if (lookahead_pending_) return true;  // already read for this line
    if (!read_ahead_allowed_) return false;
    lookahead_pending_ = source.read_line(lookahead_line_);
    lookahead_text_ = extended && lookahead_pending_ ? respell_names(lookahead_line_) : lookahead_line_;
    return lookahead_pending_;
}

bool RecordCursor::move_lookahead(std::string& line) {
    line = std::move(lookahead_line_);
    lookahead_line_.clear();
    lookahead_pending_ = false;
    return true;
}
