// Helpers shared by the converter's unit tests.
#pragma once

#include <memory>
#include <string>

#include "context.h"

// A context whose console output is captured instead of printed.
std::unique_ptr<Context> fresh_context();
