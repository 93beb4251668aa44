#include "ui/MainWindow.hpp"

#include "ui/Style.hpp"

#include <glib/gi18n.h>

namespace quillbay {

namespace {

constexpr int kDefaultWidth = 1280;
constexpr int kDefaultHeight = 820;

} // namespace

MainWindow::MainWindow(ServerProcess& server, WebViewModel& web, ThemePacks& themes, PagePreference preference)
    : content_(*this, server, web, themes, std::move(preference))
{
    installQuillbayStyle();
    add_css_class("quillbay");
    set_title(_("Quillbay"));
    set_icon_name("org.quillbay.Quillbay");
    set_show_menubar(true);
    set_default_size(kDefaultWidth, kDefaultHeight);
    set_titlebar(content_.toolbar());
    set_child(content_);
}

} // namespace quillbay
