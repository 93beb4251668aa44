#pragma once

namespace quillbay {

// The version the build was configured with (the project's version).
const char* appVersion();

} // namespace quillbay
