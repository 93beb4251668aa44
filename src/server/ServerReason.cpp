#include "server/ServerReason.hpp"

#include "support/Format.hpp"

#include <glib/gi18n.h>

namespace quillbay {

namespace {

// The English pattern of each code; the catalog knows them by these texts.
const char* pattern(ServerReason::Code code)
{
    using Code = ServerReason::Code;
    switch (code) {
    case Code::Verbatim: return "%s";
    case Code::CannotCreateFolder: return N_("Cannot create %s: %s");
    case Code::PythonMissing: return N_("The bundled Python is missing at %s. Run stage_payload.sh and rebuild.");
    case Code::ShimMissing: return N_("The server shim is missing at %s.");
    case Code::FolderInUse: return N_("Another Quillbay is using the studio folder %s.");
    case Code::LaunchFailed: return N_("Could not launch the server: %s");
    case Code::NoAnswer: return N_("The studio server did not answer within %s s. See the server log.");
    case Code::ExitedDuringStartup: return N_("The studio server exited during startup (exit %s).");
    case Code::Stopped: return N_("The studio server stopped (exit %s).");
    case Code::SignalledDuringStartup: return N_("The studio server stopped during startup by signal %s (%s).");
    case Code::Signalled: return N_("The studio server stopped by signal %s (%s).");
    case Code::PortFallback:
        return N_("warning: port %s is in use by another program; using %s. Desk projects stored under the usual "
                  "port will not be visible until it is free.");
    case Code::PortTakenMeanwhile:
        return N_("warning: port %s was taken by another program while the server started; choosing again.");
    case Code::FolderNotLocked:
        return N_("warning: the studio folder could not be locked (%s at %s); another Quillbay using it would go "
                  "unnoticed.");
    case Code::LogNotRotated:
        return N_("warning: the server log could not be rotated (%s); this start's output follows the last one in %s.");
    case Code::LogLimitReached:
        return N_("warning: the server log %s has reached its limit of %s. The server keeps running; its further "
                  "output is shown here only.");
    case Code::LogNotWritten:
        return N_("warning: the server log %s is not being written (%s). The server keeps running; its output is "
                  "shown here only.");
    }
    return "%s";
}

} // namespace

std::string ServerReason::text() const
{
    return worded(pattern(code_));
}

std::string ServerReason::localizedText() const
{
    return code_ == Code::Verbatim ? text() : worded(_(pattern(code_)));
}

std::string ServerReason::worded(const char* wording) const
{
    const auto value = [this](std::size_t i) { return i < values_.size() ? values_[i].c_str() : ""; };
    return format(wording, value(0), value(1));
}

} // namespace quillbay
