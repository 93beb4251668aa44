#pragma once

#include "support/ScopedConnection.hpp"
#include "ui/find/FindBarLogic.hpp"
#include "ui/output/FollowState.hpp"
#include "ui/output/OutputLog.hpp"

#include <giomm/simpleactiongroup.h>
#include <gtkmm/builder.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/searchbar.h>
#include <gtkmm/searchentry.h>
#include <gtkmm/textview.h>
#include <gtkmm/window.h>

#include <chrono>
#include <memory>
#include <optional>

namespace quillbay {

class ServerProcess;

// Where the window is laid out.
inline constexpr const char* kServerOutputResource = "/org/quillbay/Quillbay/ui/server-output.ui";

// The Server Output window: the server's lines as they come and, marked
// apart with their time, the shell's own events between them; the newest
// OutputLog::kCapacity lines. Lines are gathered and shown at most every
// kFlushInterval, so a flood costs one edit of the text per interval. It
// keeps the newest line in sight until the user scrolls up, and finds,
// copies and saves what it shows. Closing hides it; present it again.
class ServerOutputWindow : public Gtk::Window {
public:
    static constexpr std::chrono::milliseconds kFlushInterval{100};
    // The most matches that are counted.
    static constexpr unsigned kFindLimit = 1000;

    static std::unique_ptr<ServerOutputWindow> create(ServerProcess& server);

    // For Gtk::Builder::get_widget_derived.
    ServerOutputWindow(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder, ServerProcess& server);
    ~ServerOutputWindow() override;

    Gtk::TextView& view() { return view_; }
    Gtk::ScrolledWindow& scroller() { return scroller_; }
    Gtk::SearchEntry& findEntry() { return entry_; }
    bool following() const { return follow_.following(); }
    const FindBarLogic::Status& findStatus() const { return status_; }

private:
    void addActions();
    void addShortcuts();
    void connectFind();
    void add(OutputLine line);
    void flushSoon();
    // Shows what came since the last time.
    void flush();
    void applyEdit(const OutputEdit& edit);
    void appendLines(const std::vector<OutputLine>& lines);
    void onScrolled();
    void followSoon();
    void scrollToEnd();
    void showFollowing();

    void openFind();
    void closeOrHide();
    void onFindClosed();
    void refind(std::size_t droppedLines = 0);
    void step(bool forward);
    void showMatch();
    void showStatus();
    bool onFindKey(unsigned keyval, unsigned keycode, Gdk::ModifierType state);

    void copy();
    void selectAll();
    void chooseSaveFile();
    void saveTo(const std::string& path);

    ServerProcess& server_;
    OutputLog log_;
    FollowState follow_;
    Glib::RefPtr<Gio::SimpleActionGroup> actions_;
    Gtk::Button& followButton_;
    Gtk::SearchBar& findBar_;
    Gtk::SearchEntry& entry_;
    Gtk::Label& statusLabel_;
    Gtk::Button& previous_;
    Gtk::Button& next_;
    Gtk::ScrolledWindow& scroller_;
    Gtk::TextView& view_;
    Glib::RefPtr<Gtk::TextBuffer> buffer_;
    Glib::RefPtr<Gtk::TextTag> eventTag_;
    Glib::RefPtr<Gtk::TextTag> matchTag_;
    std::vector<OutputLog::Match> matches_;
    std::optional<std::size_t> current_;
    FindBarLogic::Status status_;
    ScopedConnection lines_;
    ScopedConnection events_;
    ScopedConnection flushTimer_;
    bool followPending_ = false;
    bool scrolling_ = false;  // the view moves to follow, not by the user
};

} // namespace quillbay
