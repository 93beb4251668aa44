#include "web/PageFinder.hpp"

#include "support/GObjectRef.hpp"
#include "web/FindPosition.hpp"
#include "web/WebViewModel.hpp"

#include <gtkmm/widget.h>
#include <webkit/webkit.h>

namespace quillbay {

struct PageFinder::Impl {
    PageFinder& owner;
    web::GRef<WebKitFindController> controller;
    FindPosition position;
    web::SignalConnection counted;
    web::SignalConnection failed;
    bool searching = false;
    std::string query;
    std::optional<Result> known;  // none until the matches of `query` are counted
    std::optional<FindReport> report;

    Impl(PageFinder& owner, WebViewModel& model)
        : owner(owner),
          controller(web::GRef<WebKitFindController>::retain(
              webkit_web_view_get_find_controller(WEBKIT_WEB_VIEW(model.widget().gobj())))),
          position(WEBKIT_WEB_VIEW(model.widget().gobj()))
    {
        // "found-text" after a step to the next or previous match counts only
        // the match it moved to; the total comes from a count of its own.
        counted = web::connectSignal(controller.get(), "counted-matches", &Impl::onCounted, this);
        failed = web::connectSignal(controller.get(), "failed-to-find-text", &Impl::onFailed, this);
        position.signalReport().connect([this](const FindReport& found) {
            report = found;
            publish();
        });
    }

    void publish()
    {
        if (!searching || !known)
            return;
        if (known->matches && *known->matches <= kMaxCount)
            known->current = currentMatch(report, query, *known->matches);
        owner.result_.emit(*known);
    }

    static void onCounted(WebKitFindController*, guint count, gpointer self)
    {
        auto* impl = static_cast<Impl*>(self);
        impl->known = Result{count, std::nullopt};
        impl->publish();
    }

    static void onFailed(WebKitFindController*, gpointer self)
    {
        auto* impl = static_cast<Impl*>(self);
        impl->known = Result{};
        impl->publish();
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
    impl_->query = text;
    impl_->known.reset();
    const guint options = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;
    webkit_find_controller_search(impl_->controller.get(), text.c_str(), options, kMaxCount);
    webkit_find_controller_count_matches(impl_->controller.get(), text.c_str(), options, kMaxCount);
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
    impl_->known.reset();
    webkit_find_controller_search_finish(impl_->controller.get());
}

} // namespace quillbay
