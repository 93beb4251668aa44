#include "ui/cards/ServerCard.hpp"

#include "server/ServerProcess.hpp"
#include "support/AccessibleText.hpp"
#include "support/BuiltWidget.hpp"
#include "support/MainLoop.hpp"
#include "support/WhileAlive.hpp"

#include <glibmm/main.h>
#include <gtkmm/scrollbar.h>
#include <pangomm/fontmetrics.h>

#include <algorithm>

namespace quillbay {

namespace {

constexpr int kMessageMaxWidth = 520;
// The server may print thousands of lines a second; the text view follows at this pace.
constexpr unsigned kLogRefreshMs = 100;

} // namespace

std::unique_ptr<ServerCard> ServerCard::create(Gtk::Box& parent, ServerProcess& server, OpenLog openLog)
{
    return buildWidget<ServerCard>(kServerCardResource, "server_card", [&](Gtk::Widget& card) { parent.append(card); },
                                   server, std::move(openLog));
}

ServerCard::ServerCard(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder, ServerProcess& server,
                       OpenLog openLog)
    : Gtk::Box(object),
      server_(server),
      openLog_(std::move(openLog)),
      slowStart_(Clock::system(), [this] { refresh(); }),
      headline_(*builder->get_widget<Gtk::Label>("headline")),
      spinner_(*builder->get_widget<Gtk::Spinner>("spinner")),
      explanation_(*builder->get_widget<Gtk::Label>("explanation")),
      slowStartStatus_(*builder->get_widget<Gtk::Box>("slow_start")),
      elapsed_(*builder->get_widget<Gtk::Label>("elapsed")),
      message_(*builder->get_widget<Gtk::Label>("message")),
      attempt_(*builder->get_widget<Gtk::Label>("attempt")),
      logBox_(*builder->get_widget<Gtk::Box>("log_box")),
      logScroll_(*builder->get_widget<Gtk::ScrolledWindow>("log_scroll")),
      logView_(*builder->get_widget<Gtk::TextView>("log_view")),
      buttons_(*builder->get_widget<Gtk::Box>("buttons")),
      restart_(*builder->get_widget<Gtk::Button>("restart")),
      showLog_(*builder->get_widget<Gtk::Button>("show_log"))
{
    message_.signal_realize().connect(sigc::mem_fun(*this, &ServerCard::fitMessageWidth));

    // New text lands at the bottom; keep the newest line in sight once the view has measured it.
    logScroll_.get_vadjustment()->signal_changed().connect([this] {
        auto adjustment = logScroll_.get_vadjustment();
        if (followNewest_)
            adjustment->set_value(adjustment->get_upper() - adjustment->get_page_size());
        scheduleLogFit();
    });
    // The text view is read and moved through by itself; its scroll bars only repeat it.
    setAccessibleHidden(*logScroll_.get_hscrollbar());
    setAccessibleHidden(*logScroll_.get_vscrollbar());

    restart_.signal_clicked().connect([this] { server_.restart(); });
    showLog_.signal_clicked().connect([this] {
        if (openLog_)
            openLog_(server_.serverLogPath());
    });

    stateChanged_ = server_.state().signalChanged().connect(sigc::mem_fun(*this, &ServerCard::refresh));
    logChanged_ = server_.logTail().signalChanged().connect(sigc::mem_fun(*this, &ServerCard::scheduleLogRefresh));
    refresh();
}

ServerCard::~ServerCard() = default;

void ServerCard::refresh()
{
    logTimer_.disconnect();
    attempts_.observe(server_.state().get());
    slowStart_.observe(server_.state()->isStarting());
    const ServerCardContent content = serverCardContent(server_.state().get(), server_.logTail().get(), attempts_,
                                                        slowStart_.shown() ? slowStart_.elapsedText() : std::string());
    showContent(content);
    if (content.logBox)
        showLog(logFeed_.update(server_.logTail().get(), server_.logLineCount()));
    else
        logFeed_.reset();
    announceSlowStart();
}

// The time shown changes each second; what a screen reader is told of it and
// of the output changes only as often as SlowStart allows.
void ServerCard::announceSlowStart()
{
    const auto& tail = server_.logTail().get();
    const std::string text = slowStart_.announcement(tail.empty() ? std::string() : logBoxLine(tail.back()));
    if (!text.empty())
        setAccessibleLabel(slowStartStatus_, text);
}

void ServerCard::scheduleLogRefresh()
{
    // Only the dark card and a slow start show output; a quick start has nothing to update.
    if (logTimer_.connected() || !(server_.state()->isFailed() || slowStart_.shown()))
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
    elapsed_.set_text(content.elapsed);
    slowStartStatus_.set_visible(warming && !content.elapsed.empty());
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
    if (logFitPending_)
        return;
    logFitPending_ = true;
    postToMainLoop(whileAlive<void()>(*this,
                                      [this] {
                                          logFitPending_ = false;
                                          int minimum = 0, natural = 0, baseline = 0;
                                          logScroll_.measure(Gtk::Orientation::VERTICAL, logScroll_.get_width(),
                                                             minimum, natural, baseline, baseline);
                                          if (logScroll_.get_mapped() && natural != logScroll_.get_height())
                                              logScroll_.queue_resize();
                                      }),
                   G_PRIORITY_DEFAULT_IDLE);
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
