#include "web/PageFinder.hpp"

#include "support/GObjectRef.hpp"
#include "web/WebViewModel.hpp"

#include <gtkmm/widget.h>
#include <webkit/webkit.h>

namespace quillbay {

struct PageFinder::Impl {
    PageFinder& owner;
    web::GRef<WebKitFindController> controller;
    web::SignalConnection found;
    web::SignalConnection failed;
    bool searching = false;

    Impl(PageFinder& owner, WebViewModel& model)
        : owner(owner),
          controller(web::GRef<WebKitFindController>::retain(
              webkit_web_view_get_find_controller(WEBKIT_WEB_VIEW(model.widget().gobj()))))
    {
        found = web::connectSignal(controller.get(), "found-text", &Impl::onFound, this);
        failed = web::connectSignal(controller.get(), "failed-to-find-text", &Impl::onFailed, this);
    }

    static void onFound(WebKitFindController*, guint count, gpointer self)
    {
        auto* impl = static_cast<Impl*>(self);
        if (impl->searching)
            impl->owner.result_.emit(count);
    }

    static void onFailed(WebKitFindController*, gpointer self)
    {
        auto* impl = static_cast<Impl*>(self);
        if (impl->searching)
            impl->owner.result_.emit(std::nullopt);
    }
};

PageFinder::PageFinder(WebViewModel& model) : impl_(std::make_unique<Impl>(*this, model)) {}

PageFinder::~PageFinder()
{
    finish();
}

void PageFinder::search(const std::string& text)
{
    if (text.empty()) {
        finish();
        return;
    }
    impl_->searching = true;
    const guint options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
    webkit_find_controller_search(impl_->controller.get(), text.c_str(), options, kMaxCount);
}

void PageFinder::next()
{
    if (impl_->searching)
        webkit_find_controller_search_next(impl_->controller.get());
}

void PageFinder::previous()
{
    if (impl_->searching)
        webkit_find_controller_search_previous(impl_->controller.get());
}

void PageFinder::finish()
{
    if (!impl_->searching)
        return;
    impl_->searching = false;
    webkit_find_controller_search_finish(impl_->controller.get());
}

} // namespace quillbay
