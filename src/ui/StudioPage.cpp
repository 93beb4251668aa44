#include "ui/StudioPage.hpp"

namespace quillbay {

std::string_view rawValue(StudioPage page)
{
    return page == StudioPage::Room ? "room" : "desk";
}

std::optional<StudioPage> studioPageFromRaw(std::string_view raw)
{
    if (raw == "desk")
        return StudioPage::Desk;
    if (raw == "room")
        return StudioPage::Room;
    return std::nullopt;
}

StudioPage studioPageOrDesk(std::string_view raw)
{
    return studioPageFromRaw(raw).value_or(StudioPage::Desk);
}

std::string_view title(StudioPage page)
{
    return page == StudioPage::Room ? "Room" : "Desk";
}

std::string_view pagePath(StudioPage page)
{
    return page == StudioPage::Room ? "/room/" : "/";
}

std::string pageURL(std::string_view baseURL, StudioPage page)
{
    std::string_view base = baseURL;
    while (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    return std::string(base) + std::string(pagePath(page));
}

} // namespace quillbay
