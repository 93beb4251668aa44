#pragma once

#include <sigc++/adaptors/track_obj.h>
#include <sigc++/functors/slot.h>
#include <sigc++/trackable.h>

#include <functional>
#include <memory>

namespace quillbay {

// The one lifetime guard for callbacks that may outlive their owner (a
// dialog's answer, a reply from the desktop, a completion of a C API): the
// callback does nothing once the trackable `owner` is gone. Owners derive
// from sigc::trackable; confined to the main thread like the owners.
template <typename Signature, typename Function>
std::function<Signature> whileAlive(const sigc::trackable& owner, Function function)
{
    return sigc::slot<Signature>(sigc::track_obj(std::move(function), owner));
}

// Carries a callback through the user data of a C API that calls back once
// (GAsyncReadyCallback and the like):
//
//   g_file_read_async(file, priority, nullptr, OnceCallback<GObject*, GAsyncResult*>::call,
//                     OnceCallback<GObject*, GAsyncResult*>::wrap(whileAlive<...>(*this, ...)));
//
// `call` runs the callback and frees it; `wrap` hands over the user data.
template <typename... Args>
struct OnceCallback {
    using Function = std::function<void(Args...)>;

    static void* wrap(Function function) { return new Function(std::move(function)); }

    static void call(Args... args, void* data)
    {
        std::unique_ptr<Function> function(static_cast<Function*>(data));
        if (*function)
            (*function)(args...);
    }

    // For a callback that may never come (the call was cancelled before it
    // was made): frees the user data without running it.
    static void drop(void* data) { delete static_cast<Function*>(data); }
};

} // namespace quillbay
