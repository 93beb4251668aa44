#include "web/ViewConfiguration.hpp"

#include "web/ProxyChoice.hpp"

#include <initializer_list>
#include <string_view>
#include <vector>

namespace quillbay::web {

namespace {

// The session is shared by every view of the run; setting it again is harmless.
void applyProxyChoice(WebKitNetworkSession* session, const ProxyChoice& choice)
{
    switch (choice.mode) {
    case ProxyChoice::Mode::System:
        webkit_network_session_set_proxy_settings(session, WEBKIT_NETWORK_PROXY_MODE_DEFAULT, nullptr);
        return;
    case ProxyChoice::Mode::None:
        webkit_network_session_set_proxy_settings(session, WEBKIT_NETWORK_PROXY_MODE_NO_PROXY, nullptr);
        return;
    case ProxyChoice::Mode::Custom:
        break;
    }
    std::vector<const char*> ignore;
    for (const auto& host : choice.ignoreHosts) {
        ignore.push_back(host.c_str());
    }
    ignore.push_back(nullptr);
    WebKitNetworkProxySettings* settings = webkit_network_proxy_settings_new(
        choice.defaultProxy.empty() ? nullptr : choice.defaultProxy.c_str(), ignore.data());
    for (const auto& [scheme, proxy] : choice.schemeProxies) {
        webkit_network_proxy_settings_add_proxy_for_scheme(settings, scheme.c_str(), proxy.c_str());
    }
    webkit_network_session_set_proxy_settings(session, WEBKIT_NETWORK_PROXY_MODE_CUSTOM, settings);
    webkit_network_proxy_settings_free(settings);
}

// Turns off the engine's features of these identifiers, where it has them.
void disableFeatures(WebKitSettings* settings, std::initializer_list<std::string_view> identifiers)
{
    WebKitFeatureList* features = webkit_settings_get_all_features();
    for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
        WebKitFeature* feature = webkit_feature_list_get(features, i);
        for (const auto identifier : identifiers) {
            if (identifier == webkit_feature_get_identifier(feature)) {
                webkit_settings_set_feature_enabled(settings, feature, FALSE);
            }
        }
    }
    webkit_feature_list_unref(features);
}

// The engine shows find's current match as the page's selection, whose
// default colour all but vanishes on the studio's dark pages: amber, like the
// shell's own marks, with dark text, unless the page chose colours of its own.
void showSelectionInAmber(WebKitWebView* view)
{
    WebKitUserStyleSheet* sheet = webkit_user_style_sheet_new(
        "::selection { background-color: rgb(255, 196, 92); color: rgb(28, 27, 25); }",
        WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(webkit_web_view_get_user_content_manager(view), sheet);
    webkit_user_style_sheet_unref(sheet);
}

} // namespace

WebKitWebView* createConfiguredView()
{
    WebKitSettings* settings = webkit_settings_new();
    disableFeatures(settings, {"LinkPreconnect", "LinkPreconnectEarlyHints", "LinkDNSPrefetch", "LinkPrefetch"});
    webkit_settings_set_enable_developer_extras(settings, TRUE);
    webkit_settings_set_enable_fullscreen(settings, TRUE);
    webkit_settings_set_enable_media_stream(settings, TRUE);
    webkit_settings_set_enable_mediasource(settings, TRUE);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
    webkit_settings_set_user_agent_with_application_details(settings, "QuillbayApp", "1.0");

    WebKitWebsitePolicies* policies =
        webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);

    WebKitNetworkSession* session = webkit_network_session_get_default();
    applyProxyChoice(session, proxyChoiceFromEnvironment());

    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW,
                                              "network-session", session,
                                              "settings", settings,
                                              "website-policies", policies,
                                              nullptr));
    g_object_unref(policies);
    g_object_unref(settings);
    g_object_ref_sink(view);

    const GdkRGBA transparent{0.0f, 0.0f, 0.0f, 0.0f};
    webkit_web_view_set_background_color(view, &transparent);
    showSelectionInAmber(view);
    return view;
}

} // namespace quillbay::web
