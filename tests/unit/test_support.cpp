#include "test_support.h"

#include <cstdio>

std::unique_ptr<Context> fresh_context() {
    auto ctx = std::make_unique<Context>();
    ctx->console.capture = true;
    return ctx;
}

RecordCursor cursor_over(const std::vector<LineRecord>& records) {
    File work(std::tmpfile());
    for (const LineRecord& record : records) {
        const RecordBytes bytes = encode_record(record);
        std::fwrite(bytes.data(), 1, bytes.size(), work.get());
    }
    std::rewind(work.get());
    return RecordCursor(std::move(work), static_cast<std::uint16_t>(records.size()), "work");
}
