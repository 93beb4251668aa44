#include "app/commands/MenuFill.hpp"

#include <glibmm/variant.h>

#include <algorithm>

namespace quillbay {

namespace {

// The entries between separators; a last section without entries is left out.
std::vector<std::vector<MenuEntry>> sectionsOf(const std::vector<MenuEntry>& entries)
{
    std::vector<std::vector<MenuEntry>> sections(1);
    for (const MenuEntry& entry : entries) {
        if (entry.kind == MenuEntry::Kind::Separator)
            sections.emplace_back();
        else
            sections.back().push_back(entry);
    }
    if (sections.back().empty())
        sections.pop_back();
    return sections;
}

// `label` as GTK must be given it to show it verbatim: menu labels are
// read with mnemonics, so every "_" is doubled. Labels that come from data
// (pack names, the port and payload lines) go through this.
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

// The Gio item of one command or text entry (separators have none).
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
        // at a twin that is never enabled.
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

} // namespace

void fillMenu(Gio::Menu& menu, const std::vector<MenuEntry>& entries)
{
    menu.remove_all();
    for (const auto& entriesOfSection : sectionsOf(entries)) {
        auto section = Gio::Menu::create();
        for (const MenuEntry& entry : entriesOfSection)
            section->append_item(menuItem(entry));
        menu.append_section(section);
    }
}

void updateMenu(Gio::Menu& menu, const std::vector<MenuEntry>& shown, const std::vector<MenuEntry>& entries)
{
    const auto before = sectionsOf(shown), after = sectionsOf(entries);
    const bool sameShape = static_cast<std::size_t>(menu.get_n_items()) == after.size() && before.size() == after.size() &&
                           std::equal(before.begin(), before.end(), after.begin(),
                                      [](const auto& a, const auto& b) { return a.size() == b.size(); });
    if (!sameShape) {
        fillMenu(menu, entries);
        return;
    }
    for (std::size_t s = 0; s < after.size(); ++s) {
        auto section = std::dynamic_pointer_cast<Gio::Menu>(menu.get_item_link(static_cast<int>(s), Gio::MenuModel::Link::SECTION));
        if (!section) {
            fillMenu(menu, entries);
            return;
        }
        for (std::size_t i = 0; i < after[s].size(); ++i) {
            if (before[s][i] == after[s][i])
                continue;
            section->remove(static_cast<int>(i));
            section->insert_item(static_cast<int>(i), menuItem(after[s][i]));
        }
    }
}

} // namespace quillbay
