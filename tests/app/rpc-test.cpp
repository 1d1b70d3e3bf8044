// Other programs show a folder or raise the window over the session bus.
#include "browser-fixture.h"
#include "platform/kivel-program.h"
#include "platform/kivel-window.h"

#include <gio/gio.h>

using namespace browser_test;

// Calls the running browser from a connection of its own, as another
// program does; the reply arrives through the main loop.
static bool call_browser(const char *method, GVariant *args)
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

TEST(Rpc, OpenFolderMovesTheViewOrKeepsAMissingFolderPending)
{
    ulvo_test::make_dir(docs_dir() + "/Shared/Inbox");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));

    std::string missing = file_uri("/media/mmc1/Photos");
    ASSERT_TRUE(call_browser("open_folder", g_variant_new("(s)", missing.c_str())));
    EXPECT_STREQ(pending_folder_uri, missing.c_str());

    std::string inbox = file_uri(docs_dir() + "/Shared/Inbox");
    ASSERT_TRUE(call_browser("open_folder", g_variant_new("(s)", inbox.c_str())));
    EXPECT_EQ(pending_folder_uri, nullptr);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == inbox; }));

    // Unknown methods get an empty, successful reply.
    EXPECT_TRUE(call_browser("no_such_method", nullptr));
}

TEST(Rpc, TopApplicationForbidsHibernationAndRaisesTheTopWindow)
{
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    GtkWidget *edit = kivel_stackable_window_new();
    gtk_widget_show(edit);
    ASSERT_TRUE(ulvo_test::pump_until([&] { return not_topmost; }));
    EXPECT_TRUE(kivel_program_get_can_hibernate(kivel_program_get_instance()));

    ASSERT_TRUE(call_browser("top_application", nullptr));
    EXPECT_FALSE(kivel_program_get_can_hibernate(kivel_program_get_instance()));
    EXPECT_EQ(kivel_window_stack_peek(kivel_window_stack_get_default()), edit);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return gtk_window_is_active(GTK_WINDOW(edit)); }));
}
