#include "server/StudioIdentity.hpp"

#include "support/HttpClient.hpp"
#include "support/Json.hpp"
#include "support/StudioURL.hpp"

namespace quillbay {

std::string StudioIdentity::url(long long port)
{
    return studioURL(port, "/api/pid");
}

std::optional<StudioIdentity> StudioIdentity::of(const HttpResponse& response)
{
    if (!response.transportOk || response.body.empty())
        return std::nullopt;
    auto document = parseJson(response.body);
    if (!document || stringMember(*document, "app") != "Quillbay")
        return std::nullopt;
    return StudioIdentity{integerMember(*document, "pid")};
}

} // namespace quillbay
