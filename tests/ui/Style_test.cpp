#include "ui/window/Style.hpp"

#include <gtest/gtest.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/init.h>

// GTK drops a rule it cannot read and carries on, so a typo in the style
// sheet shows only as a colour gone missing.
TEST(Style, TheBundledStyleSheetReadsWithoutErrors)
{
    ASSERT_TRUE(gtk_init_check());
    Gtk::init_gtkmm_internals();
    auto provider = Gtk::CssProvider::create();
    std::vector<std::string> errors;
    provider->signal_parsing_error().connect(
        [&](const Glib::RefPtr<const Gtk::CssSection>& section, const Glib::Error& error) {
            errors.push_back(section->to_string() + ": " + error.what());
        });
    provider->load_from_resource(quillbay::kStyleSheetResource);
    EXPECT_EQ(errors, std::vector<std::string>{});
    EXPECT_NE(provider->to_string().find("window.quillbay"), std::string::npos);
}
