#include "app/commands/MenuFill.hpp"

#include <glibmm/variant.h>

namespace quillbay {

std::string literalMenuLabel(const std::string& label)
{
    std::string literal;
    literal.reserve(label.size());
    for (char c : label) {
        if (c == '_')
            literal += '_';
        literal += c;
    }
    return literal;
}

Glib::RefPtr<Gio::MenuItem> menuItem(const MenuEntry& entry)
{
    std::string label = entry.mnemonic ? entry.label : literalMenuLabel(entry.label);
    if (!entry.mark.empty())
        label += "  " + entry.mark;
    auto item = Gio::MenuItem::create(label, "");
    if (entry.kind == MenuEntry::Kind::Text) {
        item->set_action_and_target(actions::kTextLine, Glib::Variant<Glib::ustring>::create(""));
    } else if (!entry.enabled && entry.target) {
        // One action serves every pack, so a pack that cannot be used points
        // at an action that is never enabled.
        item->set_action_and_target(actions::kUnavailableTheme, Glib::Variant<Glib::ustring>::create(*entry.target));
    } else if (entry.target) {
        item->set_action_and_target(entry.action, Glib::Variant<Glib::ustring>::create(*entry.target));
    } else {
        item->set_action(entry.action);
    }
    if (!entry.accelerator.empty())
        item->set_attribute_value("accel", Glib::Variant<Glib::ustring>::create(entry.accelerator));
    return item;
}

void fillMenu(Gio::Menu& menu, const std::vector<MenuEntry>& entries)
{
    menu.remove_all();
    auto section = Gio::Menu::create();
    auto closeSection = [&] {
        menu.append_section(section);
        section = Gio::Menu::create();
    };
    for (const MenuEntry& entry : entries) {
        if (entry.kind == MenuEntry::Kind::Separator)
            closeSection();
        else
            section->append_item(menuItem(entry));
    }
    if (section->get_n_items() > 0)
        menu.append_section(section);
}

} // namespace quillbay
