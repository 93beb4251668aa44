#pragma once

#include <sigc++/signal.h>

#include <utility>

namespace quillbay {

// An observable value. Every write notifies, also when the new value equals
// the old one; observers read the new value through get(). Confined to the
// main thread like everything that publishes state.
template <typename T>
class Published {
public:
    Published() = default;
    explicit Published(T initial) : value_(std::move(initial)) {}

    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }
    const T* operator->() const { return &value_; }

    void set(T value)
    {
        value_ = std::move(value);
        changed_.emit();
    }

    // Changes the value in place (no copy of a large value), then notifies once.
    template <typename Fn>
    void modify(Fn&& change)
    {
        change(value_);
        changed_.emit();
    }

    sigc::signal<void()>& signalChanged() const { return changed_; }

private:
    T value_{};
    mutable sigc::signal<void()> changed_;
};

} // namespace quillbay
