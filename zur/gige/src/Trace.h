#pragma once

// One line on standard error per event worth knowing when a camera
// misbehaves (opens, losses, frames), when ZUR_GIGE_TRACE is set and not 0.

namespace zurgige {

bool Tracing();
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zurgige
