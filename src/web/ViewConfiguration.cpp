#include "web/ViewConfiguration.hpp"

namespace quillbay::web {

WebKitWebView* createConfiguredView()
{
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_enable_developer_extras(settings, TRUE);
    webkit_settings_set_enable_fullscreen(settings, TRUE);
    webkit_settings_set_enable_media_stream(settings, TRUE);
    webkit_settings_set_enable_mediasource(settings, TRUE);
    webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
    webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
    webkit_settings_set_user_agent_with_application_details(settings, "QuillbayApp", "1.0");

    WebKitWebsitePolicies* policies =
        webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);

    auto* view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW,
                                              "network-session", webkit_network_session_get_default(),
                                              "settings", settings,
                                              "website-policies", policies,
                                              nullptr));
    g_object_unref(policies);
    g_object_unref(settings);
    g_object_ref_sink(view);

    const GdkRGBA transparent{0.0f, 0.0f, 0.0f, 0.0f};
    webkit_web_view_set_background_color(view, &transparent);
    return view;
}

} // namespace quillbay::web
