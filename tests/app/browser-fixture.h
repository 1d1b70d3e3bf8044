// Starting the real browser window in a test and waiting for its stages.
#pragma once

#include "app/startup.h"
#include "app/ulvo-fm-browser.h"
#include "model/app-record.h"
#include "platform/toolkit/kivel-window.h"
#include "platform/libulvo/ulvo.h"
#include "support/pointer.h"
#include "support/ui-test.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <string>

namespace browser_test
{

inline std::string docs_dir()
{
    return ulvo_test::test_home() + "/MyDocs";
}

using ulvo_test::file_uri;

inline UlvoFmBrowser *start_browser()
{
    return ULVO_FM_BROWSER(ulvo_fm_create_main_window());
}

// Waits until the staged construction has run all six stages.
inline bool await_construction(UlvoFmBrowser *browser)
{
    return ulvo_test::pump_until(
        [&] { return browser->construction_step >= 6 && browser->construction_timeout_id == 0; });
}

inline KivelFileSelection *file_selection_of(UlvoFmBrowser *browser)
{
    return KIVEL_FILE_SELECTION(browser->file_selection);
}

inline std::string current_folder(UlvoFmBrowser *browser)
{
    gchar *uri = kivel_file_selection_get_current_folder_uri(file_selection_of(browser));
    std::string out = uri ? uri : "";
    g_free(uri);
    return out;
}

// Waits until the content pane lists `count` items.
inline bool await_content_count(UlvoFmBrowser *browser, gint count)
{
    return ulvo_test::pump_until([&] {
        return kivel_file_selection_get_content_count(file_selection_of(browser)) == count;
    });
}

// Opens the application menu and tells which of new folder, move, copy,
// delete, sort and memory usage show ("1") or not ("0").
inline std::string visible_menu_entries(UlvoFmBrowser *browser)
{
    EXPECT_TRUE(kivel_window_open_app_menu(KIVEL_WINDOW(browser)));
    std::string out;
    for (GtkWidget *b :
         {browser->new_folder_button, browser->move_button, browser->copy_button,
          browser->delete_button, browser->sort_button, browser->memory_usage_button})
        out += gtk_widget_get_visible(b) ? "1" : "0";
    gtk_widget_hide(GTK_WIDGET(browser->main_menu));
    return out;
}

// Opens the application menu and taps `entry` in it with real pointer
// events, once the X server shows the menu, as a person would.
inline void tap_menu_entry(UlvoFmBrowser *browser, GtkWidget *entry)
{
    bool on_screen = false;
    gulong id =
        g_signal_connect_swapped(browser->main_menu, "map-event", G_CALLBACK(+[](bool *shown) {
                                     *shown = true;
                                     return FALSE;
                                 }),
                                 &on_screen);
    ASSERT_TRUE(kivel_window_open_app_menu(KIVEL_WINDOW(browser)));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return on_screen; }));
    g_signal_handler_disconnect(browser->main_menu, id);
    GtkAllocation area;
    gtk_widget_get_allocation(entry, &area);
    ulvo_test::pointer_move(entry, area.width / 2, area.height / 2);
    ulvo_test::pointer_click();
}

// Calls the running browser from a connection of its own, as another
// program does; the reply arrives through the main loop.
inline bool call_browser(const char *method, GVariant *args)
{
    GDBusConnection *c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    bool done = false, ok = false;
    struct Reply {
        bool *done, *ok;
    } reply{&done, &ok};
    g_dbus_connection_call(
        c, "com.kavra.ulvo_filemanager", "/com/kavra/ulvo_filemanager",
        "com.kavra.ulvo_filemanager", method, args, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
        [](GObject *source, GAsyncResult *res, gpointer data) {
            auto *r = static_cast<Reply *>(data);
            GVariant *v = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, nullptr);
            *r->ok = v != nullptr;
            if (v)
                g_variant_unref(v);
            *r->done = true;
        },
        &reply);
    ulvo_test::pump_until([&] { return done; });
    g_object_unref(c);
    return ok;
}

inline bool open_folder(const std::string &uri)
{
    return call_browser("open_folder", g_variant_new("(s)", uri.c_str()));
}

// Stands in for the state a previous run saved: written before the browser
// takes the application's name.
inline void save_state(const std::string &text)
{
    ulvo_context_t *ctx = ulvo_initialize("ulvo_filemanager", "0.4.6", TRUE, nullptr);
    ASSERT_NE(ctx, nullptr);
    ulvo_state_t state;
    state.state_size = text.size();
    state.state_data = const_cast<char *>(text.data());
    EXPECT_EQ(ulvo_state_write(ctx, &state), ULVO_OK);
    ulvo_deinitialize(ctx);
}

} // namespace browser_test
