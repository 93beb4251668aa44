#include "ui/output/OutputCommands.hpp"

#include <glib/gi18n.h>

namespace quillbay {

const std::vector<Command>& outputWindowCommands()
{
    constexpr KeyGroup group = KeyGroup::ServerOutput;
    static const std::vector<Command> commands = {
        {.action = "output.find", .label = N_("Find"), .keys = {"<Control>f"}, .group = group},
        {.action = "output.copy", .label = N_("Copy"), .keys = {"<Control>c"}, .group = group},
        {.action = "output.select-all", .label = N_("Select All"), .keys = {"<Control>a"}, .group = group},
        {.action = "output.save-as", .label = N_("Save As…"), .keys = {"<Shift><Control>s"}, .group = group},
        // Closes the find bar first, then the window.
        {.action = "output.close", .label = N_("Close"), .keys = {"Escape", "<Control>w"}, .group = group},
    };
    return commands;
}

} // namespace quillbay
