// Other programs show a folder or raise the window over the session bus.
#include "app/edit-window.h"
#include "browser-fixture.h"
#include "platform/toolkit/kivel-program.h"
#include "platform/toolkit/kivel-window.h"
#include "support/private-mounts.h"

#include <sys/mount.h>

using namespace browser_test;

namespace
{

bool is_topmost(GtkWidget *window)
{
    return kivel_stackable_window_get_is_topmost(KIVEL_STACKABLE_WINDOW(window));
}

// Another program's window comes on top: the browser goes to the background.
GtkWidget *cover_with_other_window(UlvoFmBrowser *browser)
{
    EXPECT_TRUE(ulvo_test::pump_until([&] { return is_topmost(GTK_WIDGET(browser)); }));
    GtkWidget *other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(other);
    gtk_window_present(GTK_WINDOW(other));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return not_topmost; }));
    return other;
}

bool is_presented(UlvoFmBrowser *browser)
{
    return gtk_window_is_active(GTK_WINDOW(browser)) && is_topmost(GTK_WIDGET(browser));
}

} // namespace

TEST(Rpc, OpenFolderMovesTheViewOrKeepsAMissingFolderPending)
{
    ulvo_test::make_dir(docs_dir() + "/Shared/Inbox");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));

    // Places of other kinds wait as a card does.
    for (const char *place : {"obex://[00:11:22:33:44:55]/Phone", "smb://server/share"}) {
        ASSERT_TRUE(open_folder(place));
        EXPECT_STREQ(pending_folder_uri, place);
    }
    ASSERT_TRUE(open_folder(file_uri("/media/mmc2/Music")));
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

TEST(Rpc, OpenFolderBringsTheWindowBackFromTheBackground)
{
    ulvo_test::make_dir(docs_dir() + "/Shared/Inbox");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    GtkWidget *other = cover_with_other_window(browser);

    std::string inbox = file_uri(docs_dir() + "/Shared/Inbox");
    ASSERT_TRUE(open_folder(inbox));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == inbox; }));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return is_presented(browser); }));
    EXPECT_FALSE(gtk_window_is_active(GTK_WINDOW(other)));
}

TEST(Rpc, ACardAskedForBeforeItIsMountedIsShownWhenItArrives)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    cover_with_other_window(browser);

    std::string card = "file:///media/mmc1";
    ASSERT_TRUE(open_folder(card));
    EXPECT_STREQ(pending_folder_uri, card.c_str());
    // Longer than the attempts of a navigation: nothing moves before the card.
    EXPECT_FALSE(ulvo_test::pump_until([&] { return current_folder(browser) == card; }, 3000));

    ulvo_test::make_dir("/media/mmc1");
    ASSERT_TRUE(ulvo_test::mount_tmpfs("cardone", "/media/mmc1"));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == card; }));
    EXPECT_EQ(pending_folder_uri, nullptr);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return is_presented(browser); }));
}

TEST(Rpc, AFolderOnACardThatArrivesFilledIsShown)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    // The card's files are there the moment it is mounted.
    std::string staging = ulvo_test::test_home() + "/card";
    ulvo_test::make_dir(staging);
    ASSERT_TRUE(ulvo_test::mount_tmpfs("cardone", staging));
    ulvo_test::write_file(staging + "/DCIM/100CAM/p1.jpg", "jpeg");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));

    std::string folder = "file:///media/mmc1/DCIM/100CAM";
    ASSERT_TRUE(open_folder(folder));
    ulvo_test::make_dir("/media/mmc1");
    ASSERT_EQ(mount(staging.c_str(), "/media/mmc1", nullptr, MS_MOVE, nullptr), 0);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == folder; }));
    EXPECT_TRUE(await_content_count(browser, 1));
    EXPECT_EQ(pending_folder_uri, nullptr);
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

TEST(Rpc, TopApplicationRaisesTheOpenEditWindowNotTheMainOne)
{
    ulvo_test::write_file(docs_dir() + "/a.txt");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    create_edit_window(global_ofm, ULVO_FM_EDIT_MOVE);
    GtkWidget *edit = global_ofm->edit_window;
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(ulvo_test::pump_until([&] { return is_topmost(edit); }));
    GtkWidget *other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(other);
    gtk_window_present(GTK_WINDOW(other));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return !is_topmost(edit); }));

    ASSERT_TRUE(call_browser("top_application", nullptr));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return is_topmost(edit); }));
    EXPECT_TRUE(gtk_window_is_active(GTK_WINDOW(edit)));
    EXPECT_FALSE(gtk_window_is_active(GTK_WINDOW(browser)));
    EXPECT_FALSE(kivel_program_get_can_hibernate(kivel_program_get_instance()));
    EXPECT_EQ(global_ofm->edit_window, edit);
}

TEST(Rpc, OpenFolderRefusesWhatIsNoFolderURIAndKeepsTheView)
{
    std::string shared = docs_dir() + "/Shared";
    ulvo_test::write_file(shared + "/a.txt", "keep");
    ulvo_test::make_dir(docs_dir() + "/Other");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    ASSERT_TRUE(open_folder(file_uri(shared)));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == file_uri(shared); }));

    const std::string bad[] = {
        "Shared",
        "MyDocs/Shared",
        file_uri(shared) + "/../../../etc",
        file_uri(shared) + "/..",
        file_uri(shared + "/a.txt"),
        "http://example.com/Shared",
        "",
    };
    for (const std::string &uri : bad) {
        SCOPED_TRACE(uri);
        ulvo_test::LogRecorder log("filemanager");
        // Peers rely on a successful, empty reply.
        EXPECT_TRUE(open_folder(uri));
        EXPECT_EQ(pending_folder_uri, nullptr);
        EXPECT_TRUE(log.contains("open_folder")) << log.text();
    }
    // A path as bytes, which may be anything but UTF-8.
    EXPECT_TRUE(call_browser("open_folder",
                             g_variant_new("(@ay)", g_variant_new_bytestring("\xff\xfe/x"))));
    EXPECT_EQ(pending_folder_uri, nullptr);

    // Longer than the attempts of any navigation the calls could have started.
    EXPECT_FALSE(
        ulvo_test::pump_until([&] { return current_folder(browser) != file_uri(shared); }, 3000));
    EXPECT_TRUE(ulvo_test::path_exists(shared + "/a.txt"));
    // Still usable.
    ASSERT_TRUE(open_folder(file_uri(docs_dir() + "/Other")));
    EXPECT_TRUE(ulvo_test::pump_until(
        [&] { return current_folder(browser) == file_uri(docs_dir() + "/Other"); }));
}

TEST(Rpc, ARestoredDetailsViewKeepsTheViewWhereItWas)
{
    ulvo_test::make_dir(docs_dir() + "/Inbox");
    save_state("Normal\nDetails\nContentPane\n" + file_uri(docs_dir()) + "\n");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    ASSERT_TRUE(details_dialog_open);

    std::string inbox = file_uri(docs_dir() + "/Inbox");
    ASSERT_TRUE(open_folder(inbox));
    EXPECT_STREQ(pending_folder_uri, inbox.c_str());
    EXPECT_FALSE(ulvo_test::pump_until([&] { return current_folder(browser) == inbox; }, 1500));
}
