#pragma once

#include "ui/cards/LogBoxFeed.hpp"
#include "ui/cards/ServerCardContent.hpp"
#include "support/ScopedConnection.hpp"
#include "ui/cards/SlowStart.hpp"

#include <gtkmm/box.h>
#include <gtkmm/builder.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/spinner.h>
#include <gtkmm/textview.h>

#include <functional>
#include <memory>
#include <string>

namespace quillbay {

class ServerProcess;

// Where the server card is laid out.
inline constexpr const char* kServerCardResource = "/org/quillbay/Quillbay/ui/server-card.ui";

// The card shown while the server is not ready: warming up, or dark with the
// failure, the newest output and the two ways out.
class ServerCard : public Gtk::Box {
public:
    using OpenLog = std::function<void(const std::string& path)>;

    // Builds the card at the end of `parent`. `openLog` opens the server log
    // (its path) and tells the user when it cannot.
    static std::unique_ptr<ServerCard> create(Gtk::Box& parent, ServerProcess& server, OpenLog openLog);

    // For Gtk::Builder::get_widget_derived.
    ServerCard(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder, ServerProcess& server,
               OpenLog openLog);
    ~ServerCard() override;

    // "Restart Server": the window's default button while the card is dark.
    Gtk::Button& restartButton() { return restart_; }
    Gtk::Button& showLogButton() { return showLog_; }
    // The log box's text: the newest lines, each cut to a readable length.
    std::string logText() const;
    const ServerCardContent& content() const { return content_; }

private:
    void refresh();
    void scheduleLogRefresh();
    void scheduleLogFit();
    void showContent(const ServerCardContent& content);
    void showLog(const LogBoxEdit& edit);
    void announceSlowStart();
    void fitMessageWidth();

    ServerProcess& server_;
    OpenLog openLog_;
    ServerCardContent content_;
    StartAttempts attempts_;
    SlowStart slowStart_;
    LogBoxFeed logFeed_;
    bool followNewest_ = true;
    std::size_t logLinesShown_ = 0;

    Gtk::Label& headline_;
    Gtk::Spinner& spinner_;
    Gtk::Label& explanation_;
    Gtk::Box& slowStartStatus_;
    Gtk::Label& elapsed_;
    Gtk::Label& message_;
    Gtk::Label& attempt_;
    Gtk::Box& logBox_;
    Gtk::ScrolledWindow& logScroll_;
    Gtk::TextView& logView_;
    Gtk::Box& buttons_;
    Gtk::Button& restart_;
    Gtk::Button& showLog_;

    ScopedConnection stateChanged_;
    ScopedConnection logChanged_;
    ScopedConnection logTimer_;
    bool logFitPending_ = false;
};

} // namespace quillbay
