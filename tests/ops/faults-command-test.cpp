// Commands on what people throw at them: a destination that goes away while
// the chooser shows it, a folder that cannot be emptied.
#include "command-fixture.h"

#include <glib/gstdio.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace command_test;

namespace
{

std::string gone_text()
{
    return text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted");
}

// Permission bits hold for this process too, as for a person's own, when
// it runs as root: the overrides leave its effective set.
bool heed_permissions()
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned overrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective &= ~overrides;
    return syscall(SYS_capset, &header, data) == 0;
}

class FaultsTest : public CommandTest
{
};

} // namespace

TEST_F(FaultsTest, ADestinationDeletedWhileTheChooserShowsItIsNamedAndAnotherCanBeChosen)
{
#ifdef __SANITIZE_ADDRESS__
    // The toolkit's filter model keeps the child level of a shown folder
    // that is deleted under it; the plain build runs this case.
    GTEST_SKIP() << "the toolkit's tree filter leaks a deleted folder's level";
#endif
    write_files({{"work/a.txt", "a"}, {"work/b.txt", "b"}});
    ulvo_test::make_dir(path("dest"));
    ulvo_test::make_dir(path("other"));
    start("work");
    LogRecorder log("Kivel");
    // Its button reads as the fixture's reader's does: one reader only.
    reader.reset();
    NotePerson reads_gone(
        text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted_ok"));

    for (bool move : {false, true}) {
        SCOPED_TRACE(move ? "move" : "copy");
        ulvo_test::make_dir(path("dest"));
        show("work");
        select({"work/a.txt", "work/b.txt"});
        auto gone_while_shown = [&](GtkWidget *chooser) {
            gtk_file_chooser_set_current_folder_uri(GTK_FILE_CHOOSER(chooser), uri("dest").c_str());
            // The chooser shows a folder once its row is loaded.
            EXPECT_TRUE(ulvo_test::pump_until([&] {
                gchar *shown = gtk_file_chooser_get_current_folder_uri(GTK_FILE_CHOOSER(chooser));
                bool there = shown && uri("dest") == shown;
                g_free(shown);
                return there;
            }));
            g_rmdir(path("dest").c_str());
            EXPECT_TRUE(notices_test::click(chooser, text("kivel-fm", "ckdg_bd_chooser_ok")));
        };
        int notes_before = reads_gone.taps;
        {
            // A person reads the note before choosing again; it maps a
            // moment after the chooser is free again.
            auto after_the_note = [&, choose_other = choose(uri("other"))](GtkWidget *chooser) {
                EXPECT_TRUE(ulvo_test::pump_until([&] { return reads_gone.taps > notes_before; }));
                choose_other(chooser);
            };
            ChooserPerson person({gone_while_shown, after_the_note});
            run(move ? on_popup_move_activate : on_popup_copy_activate);
            EXPECT_EQ(person.left(), 0u) << "the chooser stays for another choice";
            ASSERT_TRUE(xfer_app_test::await_transfer_end());
        }
        EXPECT_EQ(reads_gone.taps, notes_before + 1);
        EXPECT_FALSE(log.contains(banner("kivel-common-strings", "ecoc_ib_edwin_nothing_to_paste")))
            << log.text();
        EXPECT_EQ(read_file(path("other/a.txt")), "a");
        EXPECT_FALSE(path_exists(path("dest")));
        EXPECT_EQ(path_exists(path("work/a.txt")), !move);
        if (move) {
            write_file(path("work/a.txt"), "a");
            write_file(path("work/b.txt"), "b");
        }
        g_remove(path("other/a.txt").c_str());
        g_remove(path("other/b.txt").c_str());
    }
    EXPECT_TRUE(log.contains("note: " + gone_text())) << log.text();
}

TEST_F(FaultsTest, ACopyWhoseFolderGoesBeforeItStartsSaysSoInsteadOfNothingToPaste)
{
    write_files({{"work/a.txt", "a"}, {"work/b.txt", "b"}});
    start("work");
    LogRecorder log("Kivel");
    // Its button reads as the fixture's reader's does: one reader only.
    reader.reset();
    NotePerson reads_gone(
        text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted_ok"));
    global_ofm->cur_operation = OPER_COPY;
    global_ofm->xfer_started = FALSE;
    GList *sources = xfer_app_test::files({path("work/a.txt"), path("work/b.txt")});
    GList *targets = xfer_app_test::files({path("gone/a.txt"), path("gone/b.txt")});
    xfer_uri(sources, targets, GTK_WINDOW(browser), XFER_COPY, 0, 0, 0);
    g_list_free(sources);
    g_list_free(targets);
    ASSERT_TRUE(xfer_app_test::await_transfer_end());
    EXPECT_TRUE(pump_until([&] { return reads_gone.taps == 1; }));
    EXPECT_TRUE(log.contains("note: " + gone_text())) << log.text();
    EXPECT_FALSE(log.contains(banner("kivel-common-strings", "ecoc_ib_edwin_nothing_to_paste")));
    EXPECT_FALSE(path_exists(path("gone")));
}

TEST_F(FaultsTest, DeletingAFolderWithAReadOnlySubfolderNamesItAndKeepsItsContents)
{
    write_files({{"work/Trip/a.jpg", "a"},
                 {"work/Trip/Sealed/s1.jpg", "s1"},
                 {"work/Trip/Sealed/s2.jpg", "s2"},
                 {"work/keep.txt", "k"}});
    g_chmod(path("work/Trip/Sealed").c_str(), 0555);
    ASSERT_TRUE(heed_permissions());
    start("work");
    LogRecorder log("Kivel");
    select({"work/Trip"});
    {
        NotePerson person(yes());
        tap("Delete");
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
    }
    std::string read_only = text("ulvo-filemanager", "sfil_ib_unable_to_continue_read_only_folder");
    read_only.replace(read_only.find("%s"), 2, "Sealed");
    EXPECT_TRUE(log.contains(read_only)) << log.text();
    EXPECT_EQ(read_file(path("work/Trip/Sealed/s1.jpg")), "s1");
    EXPECT_EQ(read_file(path("work/Trip/Sealed/s2.jpg")), "s2");
    EXPECT_EQ(read_file(path("work/keep.txt")), "k");
    EXPECT_FALSE(xfer_app_test::dialog_showing());
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    g_chmod(path("work/Trip/Sealed").c_str(), 0755);
}
