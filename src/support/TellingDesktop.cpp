#include "support/TellingDesktop.hpp"

#include "support/WhileAlive.hpp"

namespace quillbay {

void TellingDesktop::reveal(const std::string& path)
{
    DesktopService::reveal(path, whileAlive<void(DesktopFailure)>(*this, [this](DesktopFailure failure) { tell(failure); }));
}

void TellingDesktop::tell(const DesktopFailure& failure)
{
    if (failure && tell_)
        tell_(*failure);
}

} // namespace quillbay
