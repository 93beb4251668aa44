#include "ui/output/ServerOutputWindow.hpp"

#include "server/ServerProcess.hpp"
#include "support/AccessibleText.hpp"
#include "support/BuiltWidget.hpp"
#include "support/FileChooser.hpp"
#include "support/Format.hpp"
#include "support/MainLoop.hpp"
#include "support/ModalAlert.hpp"
#include "support/SafeFile.hpp"
#include "support/WhileAlive.hpp"
#include "ui/find/FindBar.hpp"
#include "ui/output/OutputCommands.hpp"

#include <glib/gi18n.h>
#include <glibmm/main.h>
#include <glibmm/miscutils.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/scrollbar.h>
#include <gtkmm/shortcut.h>
#include <gtkmm/shortcutaction.h>
#include <gtkmm/shortcutcontroller.h>
#include <gtkmm/shortcuttrigger.h>

#include <utility>

#include <fcntl.h>

namespace quillbay {

std::unique_ptr<ServerOutputWindow> ServerOutputWindow::create(ServerProcess& server)
{
    return buildWidget<ServerOutputWindow>(kServerOutputResource, "server_output_window", [](Gtk::Widget&) {}, server);
}

ServerOutputWindow::ServerOutputWindow(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder,
                                       ServerProcess& server)
    : Gtk::Window(object),
      server_(server),
      actions_(Gio::SimpleActionGroup::create()),
      followButton_(*builder->get_widget<Gtk::Button>("follow")),
      findBar_(*builder->get_widget<Gtk::SearchBar>("find_bar")),
      entry_(*builder->get_widget<Gtk::SearchEntry>("entry")),
      statusLabel_(*builder->get_widget<Gtk::Label>("status")),
      previous_(*builder->get_widget<Gtk::Button>("previous")),
      next_(*builder->get_widget<Gtk::Button>("next")),
      scroller_(*builder->get_widget<Gtk::ScrolledWindow>("scroller")),
      view_(*builder->get_widget<Gtk::TextView>("text")),
      buffer_(view_.get_buffer())
{
    eventTag_ = buffer_->create_tag("event");
    eventTag_->property_foreground() = "#1c71d8";
    eventTag_->property_weight() = 700;
    matchTag_ = buffer_->create_tag("match");
    matchTag_->property_background() = "#f6d32d";
    matchTag_->property_foreground() = "#000000";
    setAccessibleHidden(*scroller_.get_vscrollbar());
    setAccessibleHidden(*scroller_.get_hscrollbar());

    addActions();
    addShortcuts();
    connectFind();
    auto adjustment = scroller_.get_vadjustment();
    adjustment->signal_value_changed().connect(sigc::mem_fun(*this, &ServerOutputWindow::onScrolled));
    // The text grows as GTK measures the new lines: keep to its end meanwhile.
    adjustment->signal_changed().connect(sigc::mem_fun(*this, &ServerOutputWindow::followSoon));
    signal_map().connect(sigc::mem_fun(*this, &ServerOutputWindow::flush));

    for (OutputLine& line : earlierOutput(server_.logTail().get(), server_.logLineCount(), server_.events()))
        log_.add(std::move(line));
    lines_ = server_.signalLines().connect([this](const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            log_.add(outputLine(line));
        flushSoon();
    });
    events_ = server_.signalEvent().connect([this](const ServerEvent& event) { add(eventLine(event)); });
    showFollowing();
}

ServerOutputWindow::~ServerOutputWindow() = default;

void ServerOutputWindow::addActions()
{
    const auto add = [this](const char* name, void (ServerOutputWindow::*run)()) {
        actions_->add_action(name, [this, run] { (this->*run)(); });
    };
    add("find", &ServerOutputWindow::openFind);
    add("copy", &ServerOutputWindow::copy);
    add("select-all", &ServerOutputWindow::selectAll);
    add("save-as", &ServerOutputWindow::chooseSaveFile);
    add("close", &ServerOutputWindow::closeOrHide);
    actions_->add_action("follow", [this] {
        follow_.resume();
        scrollToEnd();
        showFollowing();
    });
    insert_action_group("output", actions_);
}

// After the focused widget's own keys: the entry and the text copy and select their own text.
void ServerOutputWindow::addShortcuts()
{
    auto shortcuts = Gtk::ShortcutController::create();
    for (const Command& command : outputWindowCommands())
        for (std::string_view key : command.keys)
            shortcuts->add_shortcut(Gtk::Shortcut::create(Gtk::ShortcutTrigger::parse_string(std::string(key)),
                                                          Gtk::NamedAction::create(std::string(command.action))));
    add_controller(shortcuts);
}

void ServerOutputWindow::connectFind()
{
    findBar_.connect_entry(entry_);
    nameSearchBarCloseButton(findBar_, {&previous_, &next_});
    entry_.signal_search_changed().connect([this] {
        flush();  // the matches are places in the text shown
        current_.reset();
        refind();
        if (!matches_.empty())
            step(true);
    });
    entry_.signal_next_match().connect([this] { step(true); });
    entry_.signal_previous_match().connect([this] { step(false); });
    entry_.signal_stop_search().connect([this] { findBar_.set_search_mode(false); });
    previous_.signal_clicked().connect([this] { step(false); });
    next_.signal_clicked().connect([this] { step(true); });
    // Before the entry: Shift+Enter would otherwise only "activate" it.
    auto keys = Gtk::EventControllerKey::create();
    keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    keys->signal_key_pressed().connect(sigc::mem_fun(*this, &ServerOutputWindow::onFindKey), false);
    entry_.add_controller(keys);
    findBar_.property_search_mode_enabled().signal_changed().connect([this] {
        if (!findBar_.get_search_mode())
            onFindClosed();
    });
}

void ServerOutputWindow::add(OutputLine line)
{
    log_.add(std::move(line));
    flushSoon();
}

// Hidden, the window only gathers; it catches up once it is shown.
void ServerOutputWindow::flushSoon()
{
    if (flushTimer_.connected() || !get_mapped())
        return;
    flushTimer_ = Glib::signal_timeout().connect(
        [this] {
            flush();
            return false;
        },
        static_cast<unsigned>(kFlushInterval.count()));
}

void ServerOutputWindow::flush()
{
    flushTimer_.disconnect();
    const OutputEdit edit = log_.takeEdit();
    if (edit.empty())
        return;
    applyEdit(edit);
    followSoon();
    if (findBar_.get_search_mode())
        refind(edit.replace ? log_.lines().size() : edit.dropFirst);
}

void ServerOutputWindow::applyEdit(const OutputEdit& edit)
{
    if (edit.replace) {
        buffer_->set_text("");
    } else if (edit.dropFirst > 0) {
        // One delete for all of them: the head of the text.
        auto end = edit.dropFirst < static_cast<std::size_t>(buffer_->get_line_count())
                       ? buffer_->get_iter_at_line(static_cast<int>(edit.dropFirst))
                       : buffer_->end();
        buffer_->erase(buffer_->begin(), end);
    }
    appendLines(edit.append);
}

// Runs of server lines and of events, each inserted at once. The line feed
// before a run is not part of it: a tag that began on the line before would
// not be drawn once that line is laid out again.
void ServerOutputWindow::appendLines(const std::vector<OutputLine>& lines)
{
    std::string run;
    bool events = false;
    bool first = buffer_->begin() == buffer_->end();
    const auto insertRun = [&] {
        if (!std::exchange(first, false))
            buffer_->insert(buffer_->end(), "\n");
        if (events)
            buffer_->insert_with_tag(buffer_->end(), run, eventTag_);
        else
            buffer_->insert(buffer_->end(), run);
        run.clear();
    };
    for (const OutputLine& line : lines) {
        if (line.event != events && !run.empty())
            insertRun();
        events = line.event;
        if (!run.empty())
            run += '\n';
        run += line.text;
    }
    if (!run.empty())
        insertRun();
}

// Once GTK is done with the adjustment: a value set while the view updates it is undone.
void ServerOutputWindow::followSoon()
{
    if (!follow_.following() || followPending_)
        return;
    followPending_ = true;
    postToMainLoop(whileAlive<void()>(*this,
                                      [this] {
                                          followPending_ = false;
                                          if (follow_.following())
                                              scrollToEnd();
                                      }),
                   G_PRIORITY_DEFAULT_IDLE);
}

void ServerOutputWindow::onScrolled()
{
    if (scrolling_)
        return;
    auto adjustment = scroller_.get_vadjustment();
    follow_.moved(adjustment->get_value(), adjustment->get_upper(), adjustment->get_page_size());
    showFollowing();
}

void ServerOutputWindow::scrollToEnd()
{
    auto adjustment = scroller_.get_vadjustment();
    scrolling_ = true;
    adjustment->set_value(adjustment->get_upper() - adjustment->get_page_size());
    scrolling_ = false;
}

void ServerOutputWindow::showFollowing()
{
    followButton_.set_visible(!follow_.following());
}

void ServerOutputWindow::openFind()
{
    findBar_.set_search_mode(true);
    entry_.grab_focus();
    entry_.select_region(0, -1);
}

void ServerOutputWindow::closeOrHide()
{
    if (findBar_.get_search_mode())
        findBar_.set_search_mode(false);
    else
        set_visible(false);
}

void ServerOutputWindow::onFindClosed()
{
    buffer_->remove_tag(matchTag_, buffer_->begin(), buffer_->end());
    matches_.clear();
    current_.reset();
    status_ = {};
    statusLabel_.set_text("");
    setAccessibleHidden(statusLabel_, true);
    view_.grab_focus();
}

// Finds again in what is shown now; `droppedLines` went from its head since the last search.
void ServerOutputWindow::refind(std::size_t droppedLines)
{
    std::optional<OutputLog::Match> was;
    if (current_ && *current_ < matches_.size() && matches_[*current_].line >= droppedLines) {
        was = matches_[*current_];
        was->line -= droppedLines;
    }
    buffer_->remove_tag(matchTag_, buffer_->begin(), buffer_->end());
    matches_ = log_.find(entry_.get_text(), kFindLimit + 1);
    current_.reset();
    for (std::size_t i = 0; i < matches_.size(); ++i) {
        const OutputLog::Match& match = matches_[i];
        const int line = static_cast<int>(match.line);
        buffer_->apply_tag(matchTag_, buffer_->get_iter_at_line_index(line, static_cast<int>(match.offset)),
                           buffer_->get_iter_at_line_index(line, static_cast<int>(match.offset + match.length)));
        if (was && match == *was)
            current_ = i;
    }
    showStatus();
}

void ServerOutputWindow::step(bool forward)
{
    if (matches_.empty())
        return;
    const std::size_t count = matches_.size();
    if (!current_)
        current_ = forward ? 0 : count - 1;
    else
        current_ = (*current_ + (forward ? 1 : count - 1)) % count;
    showMatch();
    showStatus();
}

void ServerOutputWindow::showMatch()
{
    const OutputLog::Match& match = matches_[*current_];
    const int line = static_cast<int>(match.line);
    auto start = buffer_->get_iter_at_line_index(line, static_cast<int>(match.offset));
    buffer_->select_range(start, buffer_->get_iter_at_line_index(line, static_cast<int>(match.offset + match.length)));
    follow_.stop();  // the match stays in sight as lines come
    showFollowing();
    view_.scroll_to(start, 0.1);
}

void ServerOutputWindow::showStatus()
{
    const std::string query = entry_.get_text();
    std::optional<unsigned> shownCurrent;
    if (current_)
        shownCurrent = static_cast<unsigned>(*current_ + 1);
    status_ = FindBarLogic::status(query, static_cast<unsigned>(matches_.size()), shownCurrent, kFindLimit);
    statusLabel_.set_text(status_.text);
    setAccessibleHidden(statusLabel_, status_.text.empty());
    for (Gtk::Widget* widget : {static_cast<Gtk::Widget*>(&entry_), static_cast<Gtk::Widget*>(&statusLabel_)}) {
        if (status_.noMatches)
            widget->add_css_class("error");
        else
            widget->remove_css_class("error");
    }
}

bool ServerOutputWindow::onFindKey(unsigned keyval, unsigned, Gdk::ModifierType state)
{
    const bool shift = (state & Gdk::ModifierType::SHIFT_MASK) == Gdk::ModifierType::SHIFT_MASK;
    switch (FindBarLogic::keyAction(keyval, shift)) {
    case FindBarLogic::KeyAction::Next:
        step(true);
        return true;
    case FindBarLogic::KeyAction::Previous:
        step(false);
        return true;
    case FindBarLogic::KeyAction::Close:
        findBar_.set_search_mode(false);
        return true;
    case FindBarLogic::KeyAction::None:
        return false;
    }
    return false;
}

void ServerOutputWindow::copy()
{
    buffer_->copy_clipboard(view_.get_clipboard());
}

void ServerOutputWindow::selectAll()
{
    flush();
    buffer_->select_range(buffer_->begin(), buffer_->end());
    view_.grab_focus();
}

void ServerOutputWindow::chooseSaveFile()
{
    FileChoice choice;
    choice.mode = FileChoice::Mode::Save;
    choice.title = _("Save Server Output");
    choice.acceptLabel = _("_Save");
    choice.folder = Glib::get_home_dir();
    choice.name = "server-output.txt";
    chooseFiles(choice, whileAlive<void(std::vector<std::string>)>(*this, [this](std::vector<std::string> paths) {
        if (!paths.empty())
            saveTo(paths.front());
    }));
}

// What the window shows, as it shows it.
void ServerOutputWindow::saveTo(const std::string& path)
{
    flush();
    SafeFile file = SafeFile::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto failure = file.isOpen() ? file.writeAll(log_.text()) : std::optional<std::string>(file.failure());
    if (!failure)
        return;
    g_debug("server output: could not save %s: %s", path.c_str(), failure->c_str());
    Alert alert;
    alert.type = Gtk::MessageType::ERROR;
    alert.message = format(_("Could not save %s"), Glib::path_get_basename(path).c_str());
    alert.detail = *failure;
    alert.stockButtons = Gtk::ButtonsType::OK;
    showModalAlert(alert);
}

} // namespace quillbay
