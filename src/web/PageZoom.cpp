#include "web/PageZoom.hpp"

#include "web/WebViewModel.hpp"

#include <gtkmm/widget.h>
#include <webkit/webkit.h>

namespace quillbay {

namespace {

WebKitWebView* viewOf(WebViewModel& model)
{
    return WEBKIT_WEB_VIEW(model.widget().gobj());
}

} // namespace

double pageZoom(WebViewModel& model)
{
    return webkit_web_view_get_zoom_level(viewOf(model));
}

void setPageZoom(WebViewModel& model, double level)
{
    webkit_web_view_set_zoom_level(viewOf(model), level);
}

} // namespace quillbay
