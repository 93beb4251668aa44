#include "ui/preferences/StudioPage.hpp"

#include "support/StudioURL.hpp"

#include <glib.h>
#include <glib/gi18n.h>

#include <memory>

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
    return page == StudioPage::Room ? _("Room") : _("Desk");
}

std::string_view pagePath(StudioPage page)
{
    return page == StudioPage::Room ? "/room/" : "/";
}

std::string pageURL(long long port, StudioPage page)
{
    return studioURL(port, pagePath(page));
}

std::optional<StudioPage> studioPageAt(std::string_view url, std::string_view baseURL)
{
    using Uri = std::unique_ptr<GUri, decltype(&g_uri_unref)>;
    const auto parse = [](std::string_view text) {
        return Uri(g_uri_parse(std::string(text).c_str(), G_URI_FLAGS_NONE, nullptr), g_uri_unref);
    };
    const Uri shown = parse(url), base = parse(baseURL);
    if (!shown || !base)
        return std::nullopt;
    const auto same = [](const char* a, const char* b) { return a && b && g_ascii_strcasecmp(a, b) == 0; };
    if (!same(g_uri_get_scheme(shown.get()), g_uri_get_scheme(base.get())) ||
        !same(g_uri_get_host(shown.get()), g_uri_get_host(base.get())) ||
        g_uri_get_port(shown.get()) != g_uri_get_port(base.get()))
        return std::nullopt;

    const std::string_view path = g_uri_get_path(shown.get());
    if (path == "/" || path.empty())
        return StudioPage::Desk;
    if (path == "/room/" || path == "/room")
        return StudioPage::Room;
    return std::nullopt;
}

} // namespace quillbay
