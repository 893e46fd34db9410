// Helpers shared by the converter's unit tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/context.h"
#include "translating/record_cursor.h"

// A context whose console output is captured instead of printed.
std::unique_ptr<Context> fresh_context();

// A cursor over `records`, read from a scratch work file as pass 2 reads the real one.
RecordCursor cursor_over(const std::vector<LineRecord>& records);
