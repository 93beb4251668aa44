#include "ui/cards/ServerCard.hpp"

#include "server/ServerProcess.hpp"
#include "support/AccessibleText.hpp"

#include <glib/gi18n.h>
#include <glibmm/main.h>
#include <gtkmm/scrollbar.h>
#include <pangomm/fontmetrics.h>

#include <algorithm>

namespace quillbay {

namespace {

constexpr int kIconSize = 96;
constexpr int kMessageMaxWidth = 520;
constexpr int kLogMaxWidth = 640;
constexpr int kLogMaxHeight = 220;
// The server may print thousands of lines a second; the text view follows at this pace.
constexpr unsigned kLogRefreshMs = 100;

} // namespace

ServerCard::ServerCard(ServerProcess& server, std::function<void(const std::string& path)> openLog)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 18),
      server_(server),
      openLog_(std::move(openLog)),
      buttons_(Gtk::Orientation::HORIZONTAL, 6),
      restart_(_("Restart Server")),
      showLog_(_("Show Server Log"))
{
    add_css_class("server-card");
    set_halign(Gtk::Align::CENTER);
    set_valign(Gtk::Align::CENTER);

    icon_.set_from_icon_name("org.quillbay.Quillbay");
    icon_.set_pixel_size(kIconSize);
    icon_.property_accessible_role() = Gtk::Accessible::Role::PRESENTATION;

    headline_.add_css_class("card-headline");
    headline_.property_accessible_role() = Gtk::Accessible::Role::HEADING;

    spinner_.set_halign(Gtk::Align::CENTER);
    setAccessibleLabel(spinner_, _("Starting the studio server"));
    explanation_.add_css_class("card-footnote");
    explanation_.add_css_class("explanation");
    explanation_.set_justify(Gtk::Justification::CENTER);
    explanation_.set_wrap(true);

    message_.add_css_class("card-footnote");
    message_.add_css_class("failure-message");
    message_.set_justify(Gtk::Justification::CENTER);
    message_.set_wrap(true);
    message_.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
    attempt_.add_css_class("card-footnote");
    attempt_.add_css_class("attempt-line");

    message_.signal_realize().connect(sigc::mem_fun(*this, &ServerCard::fitMessageWidth));

    logView_.set_editable(false);
    logView_.set_cursor_visible(false);
    logView_.set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
    logView_.set_monospace(true);
    setAccessibleLabel(logView_, _("Newest server output"));
    logScroll_.set_child(logView_);
    // New text lands at the bottom; keep the newest line in sight once the view has measured it.
    logScroll_.get_vadjustment()->signal_changed().connect([this] {
        auto adjustment = logScroll_.get_vadjustment();
        if (followNewest_)
            adjustment->set_value(adjustment->get_upper() - adjustment->get_page_size());
        scheduleLogFit();
    });
    logScroll_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    logScroll_.set_overlay_scrolling(false);
    // The text view is read and moved through by itself; its scroll bars only repeat it.
    setAccessibleHidden(*logScroll_.get_hscrollbar());
    setAccessibleHidden(*logScroll_.get_vscrollbar());
    logScroll_.set_propagate_natural_height(true);
    logScroll_.set_max_content_height(kLogMaxHeight);
    logScroll_.set_max_content_width(kLogMaxWidth);
    logScroll_.set_size_request(kLogMaxWidth, -1);
    logBox_.add_css_class("log-box");
    logBox_.set_overflow(Gtk::Overflow::HIDDEN);
    logBox_.set_halign(Gtk::Align::CENTER);
    logBox_.append(logScroll_);

    buttons_.set_halign(Gtk::Align::CENTER);
    buttons_.set_valign(Gtk::Align::CENTER);
    restart_.add_css_class("suggested-action");
    restart_.signal_clicked().connect([this] { server_.restart(); });
    setDescribedBy(restart_, message_);
    // Return belongs to "Restart Server": a click here must not take the focus from it.
    showLog_.set_focus_on_click(false);
    showLog_.signal_clicked().connect([this] {
        if (openLog_)
            openLog_(server_.serverLogPath());
    });
    buttons_.append(restart_);
    buttons_.append(showLog_);

    for (Gtk::Widget* item : std::initializer_list<Gtk::Widget*>{&icon_, &headline_, &spinner_, &explanation_, &message_, &attempt_, &logBox_, &buttons_})
        append(*item);

    stateChanged_ = server_.state().signalChanged().connect(sigc::mem_fun(*this, &ServerCard::refresh));
    logChanged_ = server_.logTail().signalChanged().connect(sigc::mem_fun(*this, &ServerCard::scheduleLogRefresh));
    refresh();
}

ServerCard::~ServerCard()
{
    stateChanged_.disconnect();
    logChanged_.disconnect();
    logTimer_.disconnect();
    logFit_.disconnect();
}

void ServerCard::refresh()
{
    logTimer_.disconnect();
    attempts_.observe(server_.state().get());
    const ServerCardContent content = serverCardContent(server_.state().get(), server_.logTail().get(), attempts_);
    showContent(content);
    if (content.logBox)
        showLog(logFeed_.update(server_.logTail().get(), server_.logLineCount()));
    else
        logFeed_.reset();
}

void ServerCard::scheduleLogRefresh()
{
    // Only the dark card shows output; a warming card has nothing to update.
    if (logTimer_.connected() || !server_.state()->isFailed())
        return;
    logTimer_ = Glib::signal_timeout().connect(
        [this] {
            refresh();
            return false;
        },
        kLogRefreshMs);
}

void ServerCard::showContent(const ServerCardContent& content)
{
    const bool warming = content.kind == ServerCardContent::Kind::Warming;
    const bool dark = content.kind == ServerCardContent::Kind::Dark;

    headline_.set_text(content.headline);
    headline_.set_visible(warming || dark);
    spinner_.set_visible(warming);
    spinner_.set_spinning(warming);
    explanation_.set_text(content.explanation);
    explanation_.set_visible(warming);
    message_.set_text(content.message);
    message_.set_visible(dark);
    attempt_.set_text(content.attempt);
    attempt_.set_visible(dark && !content.attempt.empty());
    buttons_.set_visible(content.buttons);

    logBox_.set_visible(content.logBox);
    content_ = content;
}

void ServerCard::showLog(const LogBoxEdit& edit)
{
    if (edit.empty())
        return;
    auto buffer = logView_.get_buffer();
    // Follow the newest line unless the reader has scrolled up to older ones.
    auto adjustment = logScroll_.get_vadjustment();
    followNewest_ = edit.replace || adjustment->get_value() >= adjustment->get_upper() - adjustment->get_page_size() - 1.0;
    if (edit.replace) {
        buffer->set_text("");
        logLinesShown_ = 0;
    } else if (edit.dropFirst > 0) {
        buffer->erase(buffer->begin(), buffer->get_iter_at_line(static_cast<int>(edit.dropFirst)));
        logLinesShown_ -= edit.dropFirst;
    }
    // Lines are separated by line feeds, with none after the last.
    std::string added;
    for (const auto& line : edit.append) {
        if (logLinesShown_++ > 0)
            added += '\n';
        added += line;
    }
    buffer->insert(buffer->end(), added);
    if (followNewest_)
        buffer->place_cursor(buffer->end());
}

// The text view lays its lines out again once it learns its width, and the
// resize it asks for then is lost while it is being allocated: the box kept the
// height of a far narrower layout (220 px for three lines). Once the allocation
// is over, the box is measured again and takes what its lines now need.
void ServerCard::scheduleLogFit()
{
    if (logFit_.connected())
        return;
    logFit_ = Glib::signal_idle().connect([this] {
        int minimum = 0, natural = 0, baseline = 0;
        logScroll_.measure(Gtk::Orientation::VERTICAL, logScroll_.get_width(), minimum, natural, baseline, baseline);
        if (logScroll_.get_mapped() && natural != logScroll_.get_height())
            logScroll_.queue_resize();
        return false;
    });
}

std::string ServerCard::logText() const
{
    return logView_.get_buffer()->get_text();
}

void ServerCard::fitMessageWidth()
{
    // Wrapping labels are sized in characters; the monospace font makes that exact.
    auto metrics = message_.get_pango_context()->get_metrics(message_.get_pango_context()->get_font_description());
    const int charWidth = std::max(1, metrics.get_approximate_char_width() / PANGO_SCALE);
    message_.set_max_width_chars(kMessageMaxWidth / charWidth);
}

} // namespace quillbay
