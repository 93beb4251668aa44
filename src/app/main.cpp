#include "app/QuillbayApp.hpp"
#include "server/ServerProcess.hpp"
#include "support/GraphicsEnvironment.hpp"

#include <glib/gi18n.h>

#include <clocale>

int main(int, char** argv)
{
    std::setlocale(LC_ALL, "");
    const std::string locales = quillbay::ServerProcess::defaultResourceDir() + "/locale";
    bindtextdomain("quillbay", locales.c_str());
    bind_textdomain_codeset("quillbay", "UTF-8");
    textdomain("quillbay");

    quillbay::applyRendererDefaults();

    // Quillbay takes no command-line arguments.
    char* arguments[] = {argv[0], nullptr};
    auto app = quillbay::QuillbayApp::create();
    return app->run(1, arguments);
}
