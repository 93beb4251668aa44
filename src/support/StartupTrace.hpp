#pragma once

namespace quillbay {

// Notes the wall-clock time of a step of start-up, for the start-up benchmark:
// appends "<step> <epoch seconds>" to the file QUILLBAY_STARTUP_TRACE names.
// Does nothing when that variable is unset.
void traceStartup(const char* step);

} // namespace quillbay
