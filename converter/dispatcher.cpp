#include "dispatcher.h"

#include "output_writer.h"

// Not translated yet: the line is kept as a comment or label-only line.
void translate_instruction(Context& ctx, LineRecord& record) {
    record.code = record.label_view().empty() ? line_code::comment : line_code::label_only;
    write_source_line(ctx, record, true);
}
