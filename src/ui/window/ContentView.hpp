#pragma once

#include "ui/window/KeyboardPassage.hpp"
#include "ui/window/LayerChoice.hpp"
#include "ui/cards/LoadErrorCard.hpp"
#include "ui/messages/Notice.hpp"
#include "ui/preferences/Preferences.hpp"
#include "ui/cards/ServerCard.hpp"
#include "ui/messages/Toast.hpp"
#include "ui/window/Toolbar.hpp"
#include "web/WebView.hpp"

#include <giomm/simpleaction.h>
#include <gtkmm/applicationwindow.h>
#include <gtkmm/box.h>
#include <gtkmm/overlay.h>
#include <gtkmm/progressbar.h>

#include <memory>

namespace quillbay {

class ServerProcess;
class ThemePacks;
class WebViewModel;

// The window's content: charcoal, the web view, the loading bar and a card,
// recomputed from the server's state and the web view's load state whenever
// either changes. Installs "win.reload" and "win.open-in-browser" on the window.
class ContentView : public Gtk::Overlay {
public:
    ContentView(Gtk::ApplicationWindow& window, ServerProcess& server, WebViewModel& web, ThemePacks& themes,
                Preferences preference = Preferences());
    ~ContentView() override;

    // Placed by the window as its title bar.
    Toolbar& toolbar() { return toolbar_; }
    const LayerChoice& layers() const { return layers_; }

    // Reload from origin, clearing a shown load error.
    void reload();
    void openInBrowser();
    // Stores the page and, when the server is ready, loads it.
    void pickPage(StudioPage page);

    ServerCard& serverCard() { return serverCard_; }
    LoadErrorCard& loadErrorCard() { return loadErrorCard_; }
    Notice& notice() { return notice_; }
    Toast& toast() { return toast_; }
    // Opens `uri` with the desktop, and tells the user in a toast when nothing could open it.
    void openOrTell(const std::string& uri);
    // The same for a local file.
    void openPathOrTell(const std::string& path);
    // Shows `path` in its folder; a toast names what failed when nothing could show it.
    void revealOrTell(const std::string& path);
    // A failure from the desktop, told in a toast; nothing for none.
    void tell(const std::optional<std::string>& failure);

private:
    void show(StudioPage page);
    void onServerStateChanged();
    void followShownPage();
    void enterReady();
    void refreshLayers();
    void tellPortWarning();
    bool pageTakesFocus() const;
    void focusDefault(Gtk::Button* button);

    Gtk::ApplicationWindow& window_;
    ServerProcess& server_;
    WebViewModel& web_;
    ThemePacks& themes_;
    Preferences preference_;

    Toolbar toolbar_;
    WebView page_;
    Gtk::ProgressBar loadingBar_;
    Gtk::Box cardLayer_;
    ServerCard serverCard_;
    LoadErrorCard loadErrorCard_;
    Notice notice_;
    Toast toast_;

    Glib::RefPtr<Gio::SimpleAction> reloadAction_;
    Glib::RefPtr<Gio::SimpleAction> openInBrowserAction_;
    LayerChoice layers_;
    bool wasReady_ = false;
    std::string toldPortWarning_;
    Gtk::Button* defaultButton_ = nullptr;
    std::unique_ptr<KeyboardPassage> keyboardPassage_;
};

} // namespace quillbay
