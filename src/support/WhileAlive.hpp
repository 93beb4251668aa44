#pragma once

#include <sigc++/adaptors/track_obj.h>
#include <sigc++/functors/slot.h>
#include <sigc++/trackable.h>

#include <functional>

namespace quillbay {

// A callback for later (a dialog's answer, a reply from the desktop) that
// does nothing once `owner` is gone: the slot forgets the call when the
// trackable owner is destroyed.
template <typename Signature, typename Function>
std::function<Signature> whileAlive(const sigc::trackable& owner, Function function)
{
    return sigc::slot<Signature>(sigc::track_obj(std::move(function), owner));
}

} // namespace quillbay
