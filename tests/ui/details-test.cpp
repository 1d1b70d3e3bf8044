// The details command on real folders: the folder details dialog counts in
// the background, stops when it closes, and survives folders that vanish or
// cannot be read; a single file gets the platform's details.
#include "notices-fixture.h"

#include "platform/selection/kivel-file-details-dialog.h"
#include "platform/toolkit/kivel-file-size.h"
#include "ui/details.h"
#include "ui/dir-visit.h"
#include "model/paths.h"

#include <dirent.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace notices_test;
using selection_record_test::uri_of;
using ulvo_test::collect_label_text;
using ulvo_test::find_showing_dialog;
using ulvo_test::LogRecorder;
using ulvo_test::make_dir;
using ulvo_test::write_file;

namespace
{

std::string size_text(guint64 bytes)
{
    gchar *text = kivel_format_file_size_for_display(static_cast<goffset>(bytes));
    std::string out = text;
    g_free(text);
    return out;
}

std::string contents_text(gint folders, gint files)
{
    gchar *text = ulvo_fm_folder_contents_text(folders, files);
    std::string out = text;
    g_free(text);
    return out;
}

guint64 reported_size(const std::string &path)
{
    struct stat st;
    EXPECT_EQ(0, lstat(path.c_str(), &st)) << path;
    return static_cast<guint64>(st.st_size);
}

bool has_line(const std::string &text, const std::string &line)
{
    return ("\n" + text + "\n").find("\n" + line + "\n") != std::string::npos;
}

// Descriptors this process holds open on `dir` or below it: the walk's
// open folders.
int open_descriptors_under(const std::string &dir)
{
    int count = 0;
    DIR *fds = opendir("/proc/self/fd");
    while (struct dirent *e = fds ? readdir(fds) : nullptr) {
        char target[4096];
        std::string link = std::string("/proc/self/fd/") + e->d_name;
        ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0)
            continue;
        target[n] = '\0';
        if (std::string(target).rfind(dir, 0) == 0)
            count++;
    }
    if (fds)
        closedir(fds);
    return count;
}

void remove_tree(const std::string &path)
{
    GDir *dir = g_dir_open(path.c_str(), 0, nullptr);
    if (dir) {
        while (const gchar *name = g_dir_read_name(dir))
            remove_tree(path + "/" + name);
        g_dir_close(dir);
        g_rmdir(path.c_str());
    } else {
        g_unlink(path.c_str());
    }
}

// Root reads any folder; without these capabilities it obeys the modes.
void give_up_reading_everything()
{
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    ASSERT_EQ(0, syscall(SYS_capget, &header, data));
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[0].effective &= ~(1u << cap);
    ASSERT_EQ(0, syscall(SYS_capset, &header, data));
}

// Watches the dialog the command runs: once `ready` holds for the showing
// dialog, `act` runs on it; a dialog not ready in 10 s is closed, so that a
// fault fails the test instead of hanging it.
struct Watch {
    std::function<bool(GtkWidget *)> ready;
    std::function<void(GtkWidget *)> act;
    std::string last_text;
    bool acted = false;
    gint64 deadline = 0;
};

gboolean poll_watch(gpointer data)
{
    auto *watch = static_cast<Watch *>(data);
    GtkWidget *dialog = find_showing_dialog();
    if (!dialog)
        return TRUE;
    watch->last_text = collect_label_text(dialog);
    if (watch->ready(dialog)) {
        watch->acted = true;
        watch->act(dialog);
        return FALSE;
    }
    if (g_get_monotonic_time() < watch->deadline)
        return TRUE;
    gtk_dialog_response(GTK_DIALOG(dialog), no_answer);
    return FALSE;
}

class DetailsTest : public NoticesTest
{
  protected:
    // Runs the command while `watch` looks at its dialog.
    void run_details(Watch *watch)
    {
        watch->deadline = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
        guint id = gdk_threads_add_timeout(20, poll_watch, watch);
        ulvo_fm_show_details(global_ofm);
        g_source_remove_by_user_data(watch);
        (void)id;
    }
};

} // namespace

TEST_F(DetailsTest, FolderDetailsSettleOnTheCountsOfTheRealTree)
{
    std::string album = docs + "/Trip/Album";
    write_file(album + "/a.txt", "12345");
    write_file(album + "/.hidden", "123");
    write_file(album + "/Day one/b.txt", "1234567");
    make_dir(album + "/Day one/Empty");
    mkfifo((album + "/pipe").c_str(), 0644);
    for (int i = 0; i < 40; i++)
        write_file(docs + "/Big/f" + std::to_string(i), "xxxxxxxxxx");
    ASSERT_EQ(0, symlink((docs + "/Big").c_str(), (album + "/big-link").c_str()));
    ASSERT_EQ(0, symlink((album + "/a.txt").c_str(), (album + "/a-link").c_str()));
    guint64 expected =
        5 + 3 + 7 + reported_size(album + "/Day one") + reported_size(album + "/Day one/Empty");
    enter(docs + "/Trip", 1);
    select_only({album});

    bool open_while_shown = false, registered = false;
    Watch watch;
    watch.ready = [&](GtkWidget *dialog) {
        return has_line(collect_label_text(dialog), size_text(expected));
    };
    watch.act = [&](GtkWidget *dialog) {
        open_while_shown = details_dialog_open;
        registered = global_ofm->registered_dialog == dialog;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
    };
    run_details(&watch);

    ASSERT_TRUE(watch.acted) << watch.last_text;
    // Links, the pipe and the linked folder's 40 files count for nothing.
    EXPECT_TRUE(has_line(watch.last_text, contents_text(2, 3))) << watch.last_text;
    EXPECT_EQ(contents_text(2, 3), "2 folders, 3 files");
    EXPECT_TRUE(has_line(watch.last_text, "Album")) << watch.last_text;
    EXPECT_TRUE(has_line(watch.last_text, "Trip")) << "the location row: " << watch.last_text;
    EXPECT_TRUE(open_while_shown);
    EXPECT_TRUE(registered);
    EXPECT_FALSE(details_dialog_open);
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);
    EXPECT_EQ(open_descriptors_under(album), 0);
}

TEST_F(DetailsTest, ChangingTheSelectionClosesTheDialogAndStopsTheCount)
{
    std::string album = docs + "/Trip/Album";
    for (int i = 0; i < 200; i++)
        write_file(album + "/sub/f" + std::to_string(i));
    write_file(docs + "/Trip/other.txt", "x");
    enter(docs + "/Trip", 2);
    select_only({album});
    LogRecorder gtk_log("Gtk");

    int open_while_counting = 0;
    Watch watch;
    watch.ready = [&](GtkWidget *dialog) {
        return collect_label_text(dialog).find(" files") != std::string::npos;
    };
    watch.act = [&](GtkWidget *) {
        open_while_counting = open_descriptors_under(album);
        select_only({docs + "/Trip/other.txt"});
    };
    run_details(&watch);

    ASSERT_TRUE(watch.acted) << watch.last_text;
    EXPECT_FALSE(has_line(watch.last_text, contents_text(1, 200))) << "closed before the end";
    EXPECT_GT(open_while_counting, 0) << "the walk was under way";
    EXPECT_EQ(find_showing_dialog(), nullptr);
    EXPECT_EQ(open_descriptors_under(album), 0) << "closing ends the walk";
    EXPECT_FALSE(details_dialog_open);
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);
    // A tick left behind would now write to destroyed labels.
    ulvo_test::pump_for(400);
    EXPECT_EQ(gtk_log.text(), "");
}

TEST_F(DetailsTest, SingleFileShowsThePlatformDetailsWithItsSize)
{
    write_file(docs + "/Trip/report.txt", std::string(1234, 'r'));
    enter(docs + "/Trip", 1);
    select_only({docs + "/Trip/report.txt"});

    bool platform_dialog = false, open_while_shown = false;
    Watch watch;
    watch.ready = [&](GtkWidget *dialog) {
        return has_line(collect_label_text(dialog), size_text(1234)) ||
               collect_label_text(dialog).find(size_text(1234)) != std::string::npos;
    };
    watch.act = [&](GtkWidget *dialog) {
        platform_dialog = KIVEL_IS_FILE_DETAILS_DIALOG(dialog);
        open_while_shown = details_dialog_open;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
    };
    run_details(&watch);

    EXPECT_TRUE(watch.acted) << watch.last_text;
    EXPECT_TRUE(platform_dialog);
    EXPECT_TRUE(open_while_shown);
    EXPECT_FALSE(details_dialog_open);
}

TEST_F(DetailsTest, SeveralItemsGetTheSingleItemBanner)
{
    write_file(docs + "/Trip/a.txt");
    make_dir(docs + "/Trip/B");
    enter(docs + "/Trip", 2);
    select_only({docs + "/Trip/a.txt", docs + "/Trip/B"});
    LogRecorder shown("Kivel");

    ulvo_fm_show_details(global_ofm);
    EXPECT_TRUE(shown.contains("Select one item")) << shown.text();
    EXPECT_EQ(find_showing_dialog(), nullptr);
    EXPECT_FALSE(details_dialog_open);
}

TEST_F(DetailsTest, EmptyMissingVanishingAndUnreadableFoldersEndTheCount)
{
    // Empty, and a folder that is not there: nothing counted, the count ends.
    make_dir(docs + "/Empty");
    for (std::string path : {docs + "/Empty", docs + "/Gone"}) {
        GtkWidget *dialog = create_FolderDetailsDialog(uri_of(path).c_str(), main_window());
        ASSERT_TRUE(GTK_IS_DIALOG(dialog));
        gtk_widget_show(dialog);
        EXPECT_TRUE(ulvo_test::pump_until([&] {
            return has_line(collect_label_text(dialog), "Empty") &&
                   has_line(collect_label_text(dialog), size_text(0));
        })) << path
            << ": " << collect_label_text(dialog);
        gtk_widget_destroy(dialog);
    }

    // A subfolder that cannot be read is skipped, its siblings are counted.
    std::string trip = docs + "/Trip";
    write_file(trip + "/Open/a", "aa");
    write_file(trip + "/Locked/secret", "s");
    ASSERT_EQ(0, chmod((trip + "/Locked").c_str(), 0));
    give_up_reading_everything();
    LogRecorder log("filemanager");
    GtkWidget *dialog = create_FolderDetailsDialog(uri_of(trip).c_str(), main_window());
    gtk_widget_show(dialog);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return open_descriptors_under(trip) == 0; }));
    ulvo_test::pump_for(250);
    EXPECT_TRUE(has_line(collect_label_text(dialog), contents_text(2, 1)))
        << collect_label_text(dialog);
    EXPECT_TRUE(log.contains("ulvo_fm_dir_visit_fetch_next:directory_open err: 16")) << log.text();
    gtk_widget_destroy(dialog);
    chmod((trip + "/Locked").c_str(), 0755);

    // A folder removed while it is counted: the count ends with what it had.
    std::string album = docs + "/Album";
    for (int d = 0; d < 6; d++)
        for (int i = 0; i < 5; i++)
            write_file(album + "/d" + std::to_string(d) + "/f" + std::to_string(i));
    dialog = create_FolderDetailsDialog(uri_of(album).c_str(), main_window());
    gtk_widget_show(dialog);
    ASSERT_TRUE(ulvo_test::pump_until(
        [&] { return collect_label_text(dialog).find(" files") != std::string::npos; }));
    remove_tree(album);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return open_descriptors_under(album) == 0; }));
    std::string settled = collect_label_text(dialog);
    ulvo_test::pump_for(250);
    EXPECT_EQ(collect_label_text(dialog), settled) << "the count has ended";
    EXPECT_FALSE(has_line(settled, contents_text(6, 30))) << settled;
    gtk_widget_destroy(dialog);
}

TEST(DirVisit, WalksDepthFirstInBoundedStepsWithoutFollowingLinks)
{
    std::string top = ulvo_test::test_home() + "/walk";
    write_file(top + "/a/b/c/file");
    write_file(top + "/x");
    ASSERT_EQ(0, symlink(top.c_str(), (top + "/loop").c_str()));
    std::vector<std::string> seen;
    auto record = +[](GFileInfo *info, gboolean *recurse, gpointer data) {
        auto *names = static_cast<std::vector<std::string> *>(data);
        names->push_back(g_file_info_get_name(info));
        if (names->back() == "b")
            *recurse = FALSE;
    };
    UlvoFmDirVisit *visit = ulvo_fm_dir_visit_init(uri_of(top).c_str(), record, &seen);
    ASSERT_NE(visit, nullptr);
    EXPECT_TRUE(ulvo_fm_dir_visit_fetch_next(visit, 2));
    EXPECT_EQ(seen.size(), 2u) << "two entries, no more";
    while (ulvo_fm_dir_visit_fetch_next(visit, 1))
        ASSERT_LT(seen.size(), 10u) << "the walk does not end";
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "loop", "x"}))
        << "no entry of the refused b, nothing through the link";
    ulvo_fm_dir_visit_free(visit);

    LogRecorder log("filemanager");
    EXPECT_EQ(ulvo_fm_dir_visit_init(uri_of(top + "/x").c_str(), record, &seen), nullptr);
    EXPECT_TRUE(log.contains("ulvo_fm_dir_visit_init:directory_open err: 19")) << log.text();
    EXPECT_FALSE(ulvo_fm_dir_visit_fetch_next(nullptr, 10));
    ulvo_fm_dir_visit_free(nullptr);
}

TEST_F(DetailsTest, TheCurrentFolderStandingInForTheSelectionIsLocatedInItsParent)
{
    write_file(docs + "/Trip/a.txt");
    enter(docs + "/Trip", 1);
    kivel_file_selection_unselect_all(fs());
    gchar *docs_name = ulvo_fm_texturi_get_display_name(model(), uri_of(docs).c_str());
    std::string parent_name = docs_name ? docs_name : "";
    g_free(docs_name);

    Watch watch;
    watch.ready = [&](GtkWidget *dialog) {
        return has_line(collect_label_text(dialog), contents_text(0, 1));
    };
    watch.act = [&](GtkWidget *dialog) {
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_NONE);
    };
    run_details(&watch);

    ASSERT_TRUE(watch.acted) << watch.last_text;
    std::string text = "\n" + watch.last_text + "\n";
    EXPECT_EQ(text.find("\nTrip\n"), text.rfind("\nTrip\n"))
        << "Trip is not its own location: " << text;
    EXPECT_TRUE(has_line(watch.last_text, parent_name)) << parent_name << " in " << text;
}
