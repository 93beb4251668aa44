#pragma once

#include <giomm/actionmap.h>
#include <giomm/simpleaction.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

// The actions one owner adds to an action map (the application): added
// under their detailed names ("app.quit" becomes "quit" in the map), found
// again by those names, and removed from the map when the set goes.
class ActionSet {
public:
    explicit ActionSet(Gio::ActionMap& map) : map_(map) {}
    ~ActionSet();
    ActionSet(const ActionSet&) = delete;
    ActionSet& operator=(const ActionSet&) = delete;

    Glib::RefPtr<Gio::SimpleAction> add(std::string_view name, std::function<void()> run);
    // An action with a string parameter; `run` may be empty (never enabled then).
    Glib::RefPtr<Gio::SimpleAction> addWithText(std::string_view name, std::function<void(const std::string&)> run);
    // The same with a string state that names the current choice: GTK draws
    // menu items that target it as radio items, the state's one marked. The
    // state is the owner's to set; activating an item leaves it alone.
    Glib::RefPtr<Gio::SimpleAction> addChoice(std::string_view name, std::function<void(const std::string&)> run);
    // An action made elsewhere, e.g. one with a state.
    void add(const Glib::RefPtr<Gio::SimpleAction>& action);

    // The action added as `name`, or none.
    Glib::RefPtr<Gio::SimpleAction> find(std::string_view name) const;

    // "app.quit" -> "quit"; a name without a prefix stays as it is.
    static std::string mapName(std::string_view name);

private:
    Gio::ActionMap& map_;
    std::vector<Glib::RefPtr<Gio::SimpleAction>> actions_;
};

} // namespace quillbay
