#include "app/AppVersion.hpp"

namespace quillbay {

const char* appVersion()
{
    return QUILLBAY_APP_VERSION;
}

} // namespace quillbay
