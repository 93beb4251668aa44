#pragma once

#include <optional>
#include <string>

namespace quillbay {

// The find bar's decisions, without a window: what its status line says and
// what a key pressed in its entry does.
struct FindBarLogic {
    struct Status {
        std::string text;     // localised; empty when there is nothing to say
        bool noMatches = false;  // drawn as an error
        bool operator==(const Status&) const = default;
    };

    enum class KeyAction { None, Next, Previous, Close };

    // `matches`: the last count of the search for `query` (none: not found);
    // `current`: which of them is the current one, from 1, if known.
    // `limit`: the most matches that are counted.
    static Status status(const std::string& query, std::optional<unsigned> matches,
                         std::optional<unsigned> current, unsigned limit);

    // Enter finds the next match, Shift+Enter the previous one, Escape closes.
    static KeyAction keyAction(unsigned keyval, bool shift);
};

} // namespace quillbay
