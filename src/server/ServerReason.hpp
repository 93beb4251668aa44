#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillbay {

// A sentence of the supervisor for the user (why a start failed, why another
// port was taken) as a code and its values. text() is the English sentence,
// the form that is stored and logged (the state's message, the log tail,
// quillbay-supervise); localizedText() words the same through the
// translation catalog, for the window.
class ServerReason {
public:
    enum class Code {
        Verbatim,                // {sentence}: given whole, shown as it is
        CannotCreateFolder,      // {studio folder, system error}
        PythonMissing,           // {interpreter path}
        ShimMissing,             // {script path}
        FolderInUse,             // {studio folder}
        LaunchFailed,            // {system error}
        NoAnswer,                // {seconds}
        ExitedDuringStartup,     // {exit status}
        Stopped,                 // {exit status}
        SignalledDuringStartup,  // {signal number, signal name}
        Signalled,               // {signal number, signal name}
        PortFallback,            // {preferred port, chosen port}
        PortTakenMeanwhile,      // {port}
        FolderNotLocked,         // {why, lock file}
        LogNotRotated,           // {why, log file}
        LogLimitReached,         // {log file, size limit}
        LogNotWritten,           // {log file, why}
    };

    ServerReason() = default;
    ServerReason(Code code, std::vector<std::string> values) : code_(code), values_(std::move(values)) {}

    Code code() const { return code_; }
    const std::vector<std::string>& values() const { return values_; }

    std::string text() const;
    std::string localizedText() const;

    bool operator==(const ServerReason&) const = default;

private:
    std::string worded(const char* pattern) const;

    Code code_ = Code::Verbatim;
    std::vector<std::string> values_;
};

} // namespace quillbay
