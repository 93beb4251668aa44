#pragma once

#include "support/DesktopService.hpp"

#include <sigc++/trackable.h>

#include <functional>
#include <string>

namespace quillbay {

// The desktop calls a user asks for (a menu item, a button), and the one path
// that tells the user what could not be opened or shown: each failure goes to
// `tell`, e.g. a toast; one that comes after this object is gone is dropped.
class TellingDesktop : public sigc::trackable {
public:
    using Tell = std::function<void(const std::string& failure)>;

    explicit TellingDesktop(Tell tell) : tell_(std::move(tell)) {}

    void open(const std::string& uri) { tell(DesktopService::open(uri)); }
    void openPath(const std::string& path) { tell(DesktopService::openPath(path)); }
    void reveal(const std::string& path);
    void handOff(const std::string& url) { tell(DesktopService::handOff(url)); }

    // A failure of any other kind, told the same way; nothing for none.
    void tell(const DesktopFailure& failure);

private:
    Tell tell_;
};

} // namespace quillbay
