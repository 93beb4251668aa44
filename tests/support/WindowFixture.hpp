#pragma once

// The main window against real parts under Xvfb: a real WebKit view, the real key file, a real ServerProcess,
// and the recording desktop of FakeDesktop.

#include "tests/support/FakeDesktop.hpp"
#include "tests/support/FakeResources.hpp"

#include "app/lifecycle/PortLock.hpp"
#include "themes/ThemePacks.hpp"
#include "ui/window/MainWindow.hpp"
#include "web/WebViewModel.hpp"

#include <gdk/x11/gdkx.h>
#include <gtest/gtest.h>

#include <memory>

namespace quillbay::testing {

// Every widget under `root` (itself included), popovers too.
inline std::vector<GtkWidget*> descendants(GtkWidget* root)
{
    std::vector<GtkWidget*> found{root};
    for (std::size_t i = 0; i < found.size(); ++i)
        for (GtkWidget* child = gtk_widget_get_first_child(found[i]); child; child = gtk_widget_get_next_sibling(child))
            found.push_back(child);
    return found;
}

inline GtkWidget* firstOfType(GtkWidget* root, GType type, const char* labelText = nullptr)
{
    for (GtkWidget* widget : descendants(root))
        if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type) && (!labelText || std::string(labelText) == gtk_label_get_text(GTK_LABEL(widget))))
            return widget;
    return nullptr;
}
inline GtkWidget* labelShowing(GtkWidget* root, const std::string& text) { return firstOfType(root, GTK_TYPE_LABEL, text.c_str()); }

// Empty when `widget` is read to assistive technologies as `label`, else what is wrong.
inline std::string labelProblem(GtkWidget* widget, const char* label)
{
    std::unique_ptr<char, decltype(&g_free)> problem(
        gtk_test_accessible_check_property(GTK_ACCESSIBLE(widget), GTK_ACCESSIBLE_PROPERTY_LABEL, label), g_free);
    return problem ? problem.get() : "";
}

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        window_.reset();
        if (bool stopped = false; server_ && server_->hasChild()) {
            server_->stop([&] { stopped = true; });
            runUntil([&] { return stopped; }, 10s);
        }
        server_.reset();
    }

    // A server whose resource folder runs the fake studio server with `fakeArgs`.
    void useFakeServer(const Args& fakeArgs) { useServer(fake_.emplace(fakeArgs).config()); }
    void useServer(const ServerProcess::Config& config)
    {
        server_ = std::make_shared<ServerProcess>(config);
        portLock_.emplace(*server_, web_);
    }
    // A server on the app's own ports and timings, its studio folder in this test's folder.
    void useAppServer(const std::string& resourceDir) { useServer({resourceDir, root_ / "S", {}, {}}); }

    // The window, after `preferences` were written to its key file.
    void openWindow(const std::string& preferences = {})
    {
        if (!preferences.empty())
            writeFile(preferencePath(), preferences);
        window_ = std::make_unique<MainWindow>(*server_, web_, themes_, Preferences(preferencePath()));
        window_->present();
        runFor(100ms);
    }

    // Whether the view came to show `url` and stopped loading within `limit`.
    bool settledOn(const std::string& url, std::chrono::milliseconds limit = 30s)
    {
        return runUntil([&] { return web_.currentURL().get() == url && !web_.isLoading().get(); }, limit);
    }
    void loadAndSettle(const std::string& url)
    {
        web_.load(url);
        ASSERT_TRUE(settledOn(url));
    }

    ContentView& content() { return window_->content(); }
    std::string preferencePath() const { return root_ / "config/preferences.ini"; }
    GtkWidget* windowWidget() { return GTK_WIDGET(window_->gobj()); }
    GtkWidget* focus() { return gtk_root_get_focus(GTK_ROOT(window_->gobj())); }
    bool focusIn(Gtk::Widget& area) { return focus() && gtk_widget_is_ancestor(focus(), area.gobj()); }

    // Real key presses (xdotool names), through the X server, to the window.
    void press(const std::string& keys)
    {
        xdotool("windowfocus --sync " + xid() + " key --delay 40 " + keys);
        // The window may pass focus through the web view's helper on its way.
        runUntil([&] { return focus() == web_.widget().gobj() || !focusIn(web_.widget()); }, 2s);
    }

    // A real click of the primary button in the middle of `widget`.
    void click(Gtk::Widget& widget)
    {
        graphene_point_t middle{static_cast<float>(widget.get_width()) / 2, static_cast<float>(widget.get_height()) / 2}, at;
        ASSERT_TRUE(gtk_widget_compute_point(widget.gobj(), windowWidget(), &middle, &at));
        double x = 0, y = 0;  // the window's shadow lies around it on the surface
        gtk_native_get_surface_transform(GTK_NATIVE(window_->gobj()), &x, &y);
        xdotool("mousemove --window " + xid() + " " + std::to_string(static_cast<int>(at.x + x)) + " " +
                std::to_string(static_cast<int>(at.y + y)) + " click 1");
    }

    FakeDesktop desktop_;  // starts GTK: before the web view is made
    TempDir root_{"quillbay-window"};
    std::optional<FakeResources> fake_;
    WebViewModel web_;
    ThemePacks themes_;
    std::shared_ptr<ServerProcess> server_;
    std::optional<PortLock> portLock_;
    std::unique_ptr<MainWindow> window_;

private:
    std::string xid() { return std::to_string(gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(window_->gobj())))); }
    void xdotool(const std::string& arguments)
    {
        const std::string command = "xdotool " + arguments;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        runFor(300ms);
    }
};

} // namespace quillbay::testing
