#pragma once

// Internal to the web module: small RAII holders for GObject references and
// signal handlers. Not for headers that other modules include.

#include <glib-object.h>

#include <utility>

namespace quillbay::web {

// Owns one strong reference to a GObject.
template <typename T>
class GRef {
public:
    GRef() = default;
    static GRef adopt(T* object) { GRef ref; ref.object_ = object; return ref; }
    static GRef retain(T* object)
    {
        if (object) {
            g_object_ref(object);
        }
        return adopt(object);
    }

    GRef(const GRef& other) : object_(other.object_) { if (object_) g_object_ref(object_); }
    GRef(GRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GRef& operator=(GRef other) noexcept { std::swap(object_, other.object_); return *this; }
    ~GRef() { if (object_) g_object_unref(object_); }

    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

// One signal handler, disconnected when this goes away (unless the instance
// is gone already, which the weak pointer notices).
class SignalConnection {
public:
    SignalConnection() = default;
    SignalConnection(gpointer instance, gulong id) : instance_(instance), id_(id)
    {
        g_object_add_weak_pointer(G_OBJECT(instance_), &instance_);
    }
    SignalConnection(const SignalConnection&) = delete;
    SignalConnection& operator=(const SignalConnection&) = delete;
    SignalConnection(SignalConnection&& other) noexcept
    {
        *this = std::move(other);
    }
    SignalConnection& operator=(SignalConnection&& other) noexcept
    {
        if (this != &other) {
            disconnect();
            if (other.instance_) {
                g_object_remove_weak_pointer(G_OBJECT(other.instance_), &other.instance_);
                instance_ = std::exchange(other.instance_, nullptr);
                id_ = std::exchange(other.id_, 0);
                g_object_add_weak_pointer(G_OBJECT(instance_), &instance_);
            }
        }
        return *this;
    }
    ~SignalConnection() { disconnect(); }

    void disconnect()
    {
        if (instance_) {
            g_signal_handler_disconnect(instance_, id_);
            g_object_remove_weak_pointer(G_OBJECT(instance_), &instance_);
            instance_ = nullptr;
            id_ = 0;
        }
    }

private:
    gpointer instance_ = nullptr;
    gulong id_ = 0;
};

// Connects a handler whose user data is `data`.
template <typename Callback>
SignalConnection connectSignal(gpointer instance, const char* name, Callback callback, gpointer data)
{
    const gulong id = g_signal_connect(instance, name, G_CALLBACK(callback), data);
    return SignalConnection(instance, id);
}

} // namespace quillbay::web
