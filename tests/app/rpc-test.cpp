// Other programs show a folder or raise the window over the session bus.
#include "browser-fixture.h"
#include "platform/toolkit/kivel-program.h"
#include "platform/toolkit/kivel-window.h"

using namespace browser_test;

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
