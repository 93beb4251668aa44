#include "web/FindPosition.hpp"

#include "support/GObjectRef.hpp"

#include <glib.h>
#include <webkit/webkit.h>

namespace quillbay {
namespace {

constexpr const char* kWorld = "quillbay-find";
constexpr const char* kHandler = "quillbayFindPosition";

// Counts as the engine does where it can: the text of visible elements, in
// document order, without case; anything it cannot place is not reported.
constexpr const char* kReportSelection = R"js((() => {
  const unread = new Set(['SCRIPT', 'STYLE', 'NOSCRIPT', 'TEMPLATE', 'TEXTAREA', 'SELECT', 'OPTION']);
  const visible = (element) => element.checkVisibility ? element.checkVisibility({visibilityProperty: true})
                                                       : element.getClientRects().length > 0;
  const report = () => {
    const selection = document.getSelection();
    if (!selection || selection.rangeCount !== 1 || selection.isCollapsed || !document.body)
      return;
    const range = selection.getRangeAt(0);
    const selected = selection.toString();
    const wanted = selected.toLowerCase();
    if (!wanted || wanted.length > 1000)
      return;
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    let text = '';
    let start = -1;
    for (let node = walker.nextNode(); node && text.length < 4000000; node = walker.nextNode()) {
      const parent = node.parentElement;
      if (!parent || unread.has(parent.tagName) || !visible(parent))
        continue;
      if (node === range.startContainer)
        start = text.length + range.startOffset;
      text += node.data;
    }
    text = text.toLowerCase();
    if (start < 0 || text.substr(start, wanted.length) !== wanted)
      return;
    let before = 0;
    let total = 0;
    let selectedFound = false;
    for (let at = text.indexOf(wanted); at >= 0; at = text.indexOf(wanted, at + wanted.length)) {
      before += at < start ? 1 : 0;
      selectedFound = selectedFound || at === start;
      total++;
    }
    if (selectedFound)
      window.webkit.messageHandlers.quillbayFindPosition.postMessage({text: selected, before, total});
  };
  let pending = false;
  document.addEventListener('selectionchange', () => {
    if (!pending) {
      pending = true;
      setTimeout(() => { pending = false; report(); }, 0);
    }
  });
})();)js";

std::string folded(const std::string& text)
{
    gchar* fold = g_utf8_casefold(text.c_str(), static_cast<gssize>(text.size()));
    std::string result(fold);
    g_free(fold);
    return result;
}

unsigned numberProperty(JSCValue* object, const char* name)
{
    JSCValue* value = jsc_value_object_get_property(object, name);
    const double number = jsc_value_is_number(value) ? jsc_value_to_double(value) : 0.0;
    g_object_unref(value);
    return number > 0 && number < 1e9 ? static_cast<unsigned>(number) : 0;
}

} // namespace

std::optional<unsigned> currentMatch(const std::optional<FindReport>& report, const std::string& query,
                                     unsigned matches)
{
    if (!report || report->total != matches || report->before >= matches || folded(report->text) != folded(query))
        return std::nullopt;
    return report->before + 1;
}

struct FindPosition::Impl {
    FindPosition& owner;
    web::GRef<WebKitUserContentManager> manager;
    WebKitUserScript* script = nullptr;
    web::SignalConnection received;

    Impl(FindPosition& owner, WebKitWebView* view)
        : owner(owner), manager(web::GRef<WebKitUserContentManager>::retain(webkit_web_view_get_user_content_manager(view)))
    {
        received = web::connectSignal(manager.get(), "script-message-received::quillbayFindPosition",
                                      &Impl::onMessage, this);
        webkit_user_content_manager_register_script_message_handler(manager.get(), kHandler, kWorld);
        script = webkit_user_script_new_for_world(kReportSelection, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                  WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kWorld, nullptr, nullptr);
        webkit_user_content_manager_add_script(manager.get(), script);
    }

    ~Impl()
    {
        webkit_user_content_manager_remove_script(manager.get(), script);
        webkit_user_script_unref(script);
        webkit_user_content_manager_unregister_script_message_handler(manager.get(), kHandler, kWorld);
    }

    static void onMessage(WebKitUserContentManager*, JSCValue* value, gpointer self)
    {
        if (!jsc_value_is_object(value))
            return;
        JSCValue* text = jsc_value_object_get_property(value, "text");
        gchar* selected = jsc_value_is_string(text) ? jsc_value_to_string(text) : nullptr;
        g_object_unref(text);
        if (!selected)
            return;
        FindReport report{selected, numberProperty(value, "before"), numberProperty(value, "total")};
        g_free(selected);
        static_cast<Impl*>(self)->owner.report_.emit(report);
    }
};

FindPosition::FindPosition(WebKitWebView* view) : impl_(std::make_unique<Impl>(*this, view)) {}

FindPosition::~FindPosition() = default;

} // namespace quillbay
