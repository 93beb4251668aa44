#include "server/ShellParent.hpp"

#include "server/ProcessTable.hpp"

#include <array>

#include <unistd.h>

namespace quillbay {

namespace {

constexpr std::array<const char*, 2> kShellNames{"quillbay", "quillbay-supervise"};

std::string withoutDeletedMark(std::string program)
{
    constexpr std::string_view mark = " (deleted)";
    if (program.ends_with(mark))
        program.resize(program.size() - mark.size());
    return program;
}

} // namespace

bool ShellParent::isSupervised(pid_t server)
{
    auto status = ProcessTable::status(server);
    if (!status || !ProcessTable::isRunning(status->parent))
        return false;
    // A shell of ours is always readable (same user, dumpable); init may not be, even to root.
    auto program = ProcessTable::executable(status->parent);
    return program && isShellProgram(*program, ProcessTable::executable(::getpid()).value_or(std::string()));
}

bool ShellParent::isShellProgram(const std::string& program, const std::string& ownProgram)
{
    const std::string path = withoutDeletedMark(program);
    if (path.empty())
        return false;
    if (path == withoutDeletedMark(ownProgram))
        return true;
    const std::string name = path.substr(path.rfind('/') + 1);
    for (const char* shell : kShellNames) {
        if (name == shell)
            return true;
    }
    return false;
}

} // namespace quillbay
