#include "web/FrameSandbox.hpp"

namespace quillbay::web {
namespace {

constexpr const char* kWorld = "quillbay-frames";

constexpr const char* kSandboxFrames = R"js((() => {
  const everythingButDialogs = 'allow-downloads allow-forms allow-orientation-lock allow-pointer-lock ' +
    'allow-popups allow-popups-to-escape-sandbox allow-presentation allow-same-origin allow-scripts ' +
    'allow-storage-access-by-user-activation allow-top-navigation allow-top-navigation-to-custom-protocols';
  const seal = (frame) => {
    const own = frame.getAttribute('sandbox');
    const wanted = own === null ? everythingButDialogs
      : own.split(/\s+/).filter((token) => token && token.toLowerCase() !== 'allow-modals').join(' ');
    if (own !== wanted)
      frame.setAttribute('sandbox', wanted);
  };
  const sealWithin = (node) => {
    if (node.nodeType !== Node.ELEMENT_NODE)
      return;
    if (node.localName === 'iframe')
      seal(node);
    node.querySelectorAll('iframe').forEach(seal);
  };
  new MutationObserver((changes) => {
    for (const change of changes) {
      if (change.type === 'attributes' && change.target.localName === 'iframe')
        seal(change.target);
      else if (change.type === 'childList')
        change.addedNodes.forEach(sealWithin);
    }
  }).observe(document, {childList: true, subtree: true, attributes: true, attributeFilter: ['sandbox']});
})();)js";

} // namespace

void keepDialogsOutOfFrames(WebKitUserContentManager* manager)
{
    WebKitUserScript* script = webkit_user_script_new_for_world(
        kSandboxFrames, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kWorld,
        nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
}

} // namespace quillbay::web
