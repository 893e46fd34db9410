// Helpers shared by the converter's unit tests.
#pragma once

#include <memory>
#include <string>

#include "context.h"

// A context whose console output is captured instead of printed.
std::unique_ptr<Context> fresh_context();

// Everything written to the context's .SRC file so far.
std::string written_output(Context& ctx);
