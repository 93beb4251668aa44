#include "support/StudioURL.hpp"

namespace quillbay {

std::string studioURL(long long port, std::string_view path)
{
    std::string url = "http://127.0.0.1:" + std::to_string(port);
    url.append(path);
    return url;
}

} // namespace quillbay
