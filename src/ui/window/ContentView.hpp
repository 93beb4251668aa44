#pragma once

#include "support/TellingDesktop.hpp"
#include "ui/window/KeyboardPassage.hpp"
#include "ui/window/LayerChoice.hpp"
#include "ui/window/StalledLoad.hpp"
#include "ui/cards/LoadErrorCard.hpp"
#include "ui/messages/Notice.hpp"
#include "ui/preferences/Preferences.hpp"
#include "ui/cards/ServerCard.hpp"
#include "ui/messages/Toast.hpp"
#include "ui/window/Toolbar.hpp"
#include "web/WebView.hpp"

#include <gtkmm/applicationwindow.h>
#include <gtkmm/box.h>
#include <gtkmm/builder.h>
#include <gtkmm/overlay.h>
#include <gtkmm/progressbar.h>

#include <memory>

namespace quillbay {

class ServerProcess;
class ThemePacks;
class WebViewModel;

// Where the window's content is laid out.
inline constexpr const char* kContentViewResource = "/org/quillbay/Quillbay/ui/content-view.ui";

// The window's content: charcoal, the web view, the loading bar and a card,
// recomputed from the server's state and the web view's load state whenever
// either changes. Its layout comes from its UI file; the page, the cards and
// the messages are put into it here.
class ContentView : public Gtk::Overlay {
public:
    // Builds the view at the end of `column`. Deleting it takes it out of
    // `column` and ends its connections at once, as for a member widget.
    static std::unique_ptr<ContentView> create(Gtk::Box& column, Gtk::ApplicationWindow& window, ServerProcess& server,
                                               WebViewModel& web, ThemePacks& themes, Preferences preference);

    // For Gtk::Builder::get_widget_derived.
    ContentView(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder, Gtk::ApplicationWindow& window,
                ServerProcess& server, WebViewModel& web, ThemePacks& themes, Preferences preference);
    ~ContentView() override;

    // Placed by the window as its title bar.
    Toolbar& toolbar() { return toolbar_; }

    // Reload from origin, clearing a shown load error.
    void reload();
    void openInBrowser();
    // Stores the page and, when the server is ready, loads it.
    void pickPage(StudioPage page);

    ServerCard& serverCard() { return *serverCard_; }
    LoadErrorCard& loadErrorCard() { return *loadErrorCard_; }
    Notice& notice() { return notice_; }
    Toast& toast() { return toast_; }
    // Opens, shows and hands off what the user asks for; a failure is told in the toast.
    TellingDesktop& desktop() { return desktop_; }

private:
    void show(StudioPage page);
    void onServerStateChanged();
    void followShownPage();
    void enterReady();
    void refreshLayers();
    void tellPortWarning();
    void tellStalledLoad(std::chrono::seconds quiet);
    void showThemeMessage();
    bool pageTakesFocus() const;
    void focusDefault(Gtk::Button* button);

    Gtk::ApplicationWindow& window_;
    ServerProcess& server_;
    WebViewModel& web_;
    ThemePacks& themes_;
    Preferences preference_;

    Toolbar toolbar_;
    WebView page_;
    Gtk::ProgressBar& loadingBar_;
    Gtk::Box& cardLayer_;
    std::unique_ptr<ServerCard> serverCard_;       // in cardLayer_
    std::unique_ptr<LoadErrorCard> loadErrorCard_;  // in cardLayer_
    Notice notice_;
    Toast toast_;
    TellingDesktop desktop_;

    StalledLoad stalledLoad_;
    LayerChoice layers_;
    bool wasReady_ = false;
    std::string toldPortWarning_;
    Gtk::Button* defaultButton_ = nullptr;
    std::unique_ptr<KeyboardPassage> keyboardPassage_;
};

} // namespace quillbay
