#include "ui/window/Command.hpp"

#include <glib/gi18n.h>

namespace quillbay {

bool commandEnabled(const Command& command, const ServerState& state)
{
    return !command.needsReadyServer || state.isReady();
}

std::string menuLabel(const Command& command)
{
    return _(command.label);
}

std::string plainLabel(const Command& command)
{
    return withoutMnemonic(_(command.label));
}

std::string withoutMnemonic(std::string_view label)
{
    std::string plain;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '_' && ++i == label.size())
            break;
        plain += label[i];
    }
    return plain;
}

} // namespace quillbay
