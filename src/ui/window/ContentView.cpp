#include "ui/window/ContentView.hpp"

#include "server/ServerProcess.hpp"
#include "support/AccessibleText.hpp"
#include "support/BuiltWidget.hpp"
#include "support/Format.hpp"
#include "themes/ThemePacks.hpp"
#include "ui/window/WindowSizing.hpp"
#include "web/WebViewModel.hpp"

#include <glib/gi18n.h>

namespace quillbay {

std::unique_ptr<ContentView> ContentView::create(Gtk::Box& column, Gtk::ApplicationWindow& window, ServerProcess& server,
                                                 WebViewModel& web, ThemePacks& themes, Preferences preference)
{
    return buildWidget<ContentView>(kContentViewResource, "content_view", [&](Gtk::Widget& view) { column.append(view); },
                                    window, server, web, themes, std::move(preference));
}

ContentView::ContentView(BaseObjectType* object, const Glib::RefPtr<Gtk::Builder>& builder, Gtk::ApplicationWindow& window,
                         ServerProcess& server, WebViewModel& web, ThemePacks& themes, Preferences preference)
    : Gtk::Overlay(object),
      window_(window),
      server_(server),
      web_(web),
      themes_(themes),
      preference_(std::move(preference)),
      page_(web),
      loadingBar_(*builder->get_widget<Gtk::ProgressBar>("loading_bar")),
      cardLayer_(*builder->get_widget<Gtk::Box>("card_layer")),
      serverCard_(ServerCard::create(cardLayer_, server, [this](const std::string& path) { desktop_.openPath(path); })),
      loadErrorCard_(LoadErrorCard::create(cardLayer_, [this] { reload(); })),
      desktop_([this](const std::string& failure) { toast_.show(failure); }),
      stalledLoad_(Clock::system(), [this](std::chrono::seconds quiet) { tellStalledLoad(quiet); })
{
    page_.property_accessible_role() = Gtk::Accessible::Role::GENERIC;
    // The window lowers this where the monitor is smaller.
    set_size_request(WindowSizing::kWishedContentMinimum.width, WindowSizing::kWishedContentMinimum.height);

    set_child(page_);
    setAccessibleLabel(web_.widget(), _("Studio page"));
    web_.widget().add_css_class("studio-page");

    setAccessibleLabel(loadingBar_, _("Loading the page"));
    add_overlay(notice_);
    add_overlay(toast_);

    toolbar_.showPage(preference_.page());
    toolbar_.signalPagePicked().connect(sigc::mem_fun(*this, &ContentView::pickPage));

    // Slots bound to this view with mem_fun end with it.
    server_.state().signalChanged().connect(sigc::mem_fun(*this, &ContentView::onServerStateChanged));
    for (auto* signal : {&web_.isLoading().signalChanged(), &web_.progress().signalChanged(), &web_.loadError().signalChanged()})
        signal->connect(sigc::mem_fun(*this, &ContentView::refreshLayers));
    web_.currentURL().signalChanged().connect(sigc::mem_fun(*this, &ContentView::followShownPage));
    themes_.lastMessage().signalChanged().connect(sigc::mem_fun(*this, &ContentView::showThemeMessage));
    keyboardPassage_ = std::make_unique<KeyboardPassage>(window_, toolbar_, page_, web_.widget(),
                                                         [this] { return pageTakesFocus(); });
    // A server that became ready before this view existed is entered now.
    onServerStateChanged();
}

ContentView::~ContentView() = default;

// The reload command and the load error card's retry, both offered only while the server is ready.
void ContentView::reload()
{
    web_.reload();
}

void ContentView::openInBrowser()
{
    const auto& current = web_.currentURL().get();
    desktop_.handOff(current ? *current : server_.baseURL());
}

void ContentView::pickPage(StudioPage page)
{
    preference_.storePage(page);
    toolbar_.showPage(page);
    show(page);
}

void ContentView::show(StudioPage page)
{
    if (!server_.state()->isReady())
        return;
    web_.load(pageURL(server_.port().get(), page));
}

// The page's own links move between the desk and the room too: the switch
// and the remembered page follow whatever studio page is shown.
void ContentView::followShownPage()
{
    const auto& url = web_.currentURL().get();
    const auto page = url ? studioPageAt(*url, server_.baseURL()) : std::nullopt;
    if (!page)
        return;
    toolbar_.showPage(*page);
    // A stored text that names no page reads as the desk and stays until a page is picked.
    if (preference_.page() != *page)
        preference_.storePage(*page);
}

void ContentView::onServerStateChanged()
{
    const bool ready = server_.state()->isReady();
    const bool enteringReady = ready && !wasReady_;
    wasReady_ = ready;
    refreshLayers();
    if (enteringReady)
        enterReady();
}

// The view was locked to the server's port when the port was chosen (the app's PortLock).
void ContentView::enterReady()
{
    show(preference_.page());
    themes_.refresh(server_.baseURL());
    tellPortWarning();
}

void ContentView::showThemeMessage()
{
    if (const auto& message = themes_.lastMessage().get())
        notice_.show(*message);
}

// Projects stored under the usual port are not found on a fallback one: say why, once.
void ContentView::tellPortWarning()
{
    const auto& warning = server_.portWarning();
    if (!warning || warning->text() == toldPortWarning_)
        return;
    toldPortWarning_ = warning->text();
    notice_.show(warning->localizedText());
}

// The load error card comes only when the load gives up; long before that the
// user learns that the server is silent, and may restart it.
void ContentView::tellStalledLoad(std::chrono::seconds quiet)
{
    const auto seconds = static_cast<long>(quiet.count());
    toast_.show(format(ngettext("The studio server has not answered for %ld second.",
                                "The studio server has not answered for %ld seconds.", seconds),
                       seconds),
                _("Restart Server"), [this] { server_.restart(); });
}

bool ContentView::pageTakesFocus() const
{
    return layers_.card == LayerChoice::Card::None;
}

void ContentView::refreshLayers()
{
    layers_ = chooseLayers(server_.state().get(), web_.loadError().get(), web_.isLoading().get());
    stalledLoad_.observe(server_.state()->isReady() && web_.isLoading().get(), web_.progress().get());

    page_.set_opacity(layers_.webOpacity);
    page_.set_can_target(layers_.webOpacity > 0.0);
    // A card is the one thing to act on: the page behind it keeps out of Tab's way.
    page_.set_can_focus(pageTakesFocus());
    if (Gtk::Widget* focus = window_.get_focus(); !pageTakesFocus() && focus && focus->is_ancestor(page_))
        window_.unset_focus();

    loadingBar_.set_visible(layers_.loadingBar);
    loadingBar_.set_fraction(web_.progress().get());

    const bool serverCard = layers_.card == LayerChoice::Card::Server;
    const bool loadErrorCard = layers_.card == LayerChoice::Card::LoadError;
    serverCard_->set_visible(serverCard);
    loadErrorCard_->set_visible(loadErrorCard);
    loadErrorCard_->setMessage(layers_.loadErrorMessage);
    cardLayer_.set_visible(serverCard || loadErrorCard);

    toolbar_.setServerReady(server_.state()->isReady());

    Gtk::Button* wanted = nullptr;
    if (serverCard && server_.state()->isFailed())
        wanted = &serverCard_->restartButton();
    else if (loadErrorCard)
        wanted = &loadErrorCard_->retryButton();
    if (wanted != defaultButton_) {
        defaultButton_ = wanted;
        focusDefault(wanted);
    }
}

void ContentView::focusDefault(Gtk::Button* button)
{
    if (!button) {
        window_.unset_default_widget();
        return;
    }
    // Return presses the default button; focus on it keeps the page from taking the key.
    window_.set_default_widget(*button);
    button->grab_focus();
}

} // namespace quillbay
