#include "ui/window/LayerChoice.hpp"

namespace quillbay {

LayerChoice chooseLayers(const ServerState& server, const std::optional<std::string>& loadError, bool isLoading)
{
    LayerChoice choice;
    if (!server.isReady())
        return choice;

    choice.webOpacity = 1.0;
    choice.loadingBar = isLoading;
    if (loadError) {
        choice.card = LayerChoice::Card::LoadError;
        choice.loadErrorMessage = *loadError;
    } else {
        choice.card = LayerChoice::Card::None;
    }
    return choice;
}

} // namespace quillbay
