#pragma once

#include <gtkmm/builder.h>
#include <gtkmm/widget.h>

#include <memory>
#include <utility>

namespace quillbay {

// Builds the object `id` of the UI file at `resource` as a T (constructed with
// the builder and `args`) and hands it to `place`, which gives it a parent
// while the builder still holds the only reference. Deleting the result takes
// it out of that parent and ends its connections, as for a member widget.
template <class T, class Place, class... Args>
std::unique_ptr<T> buildWidget(const char* resource, const char* id, Place&& place, Args&&... args)
{
    auto builder = Gtk::Builder::create_from_resource(resource);
    std::unique_ptr<T> widget(Gtk::Builder::get_widget_derived<T>(builder, id, std::forward<Args>(args)...));
    place(static_cast<Gtk::Widget&>(*widget));
    return widget;
}

} // namespace quillbay
