#pragma once

#include "server/ServerState.hpp"

#include <optional>
#include <string>

namespace quillbay {

// What the window draws over its charcoal background.
struct LayerChoice {
    enum class Card { None, Server, LoadError };

    double webOpacity = 0.0;
    bool loadingBar = false;
    Card card = Card::Server;
    std::string loadErrorMessage;  // only with Card::LoadError

    bool operator==(const LayerChoice&) const = default;
};

// The web view shows only while the server is ready; the loading bar only
// while it is ready and a page loads; the server card in every other state;
// a load error card over the visible page when the last load failed.
LayerChoice chooseLayers(const ServerState& server, const std::optional<std::string>& loadError, bool isLoading);

} // namespace quillbay
