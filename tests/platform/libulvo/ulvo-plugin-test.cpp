// The control panel plugin launcher and the memory usage plugin it runs.
#include "platform/toolkit/kivel-locale.h"
#include "platform/libulvo/ulvo.h"
#include "support/ui-test.h"

#include <dlfcn.h>
#include <errno.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <sched.h>
#include <string.h>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>

namespace
{

// What a person saw in the memory usage dialog before closing it.
struct Seen {
    bool shown = false, finished = false;
    std::string title, labels;
    GtkWindow *parent = nullptr;
    int ticks = 0;
    gint result = 1;
};

gboolean close_memory_dialog(gpointer data)
{
    auto *seen = static_cast<Seen *>(data);
    GtkWidget *dialog = ulvo_test::find_showing_dialog();
    if (!dialog) {
        seen->finished = ++seen->ticks > 500;
        return !seen->finished;
    }
    seen->shown = seen->finished = true;
    seen->title = gtk_window_get_title(GTK_WINDOW(dialog));
    seen->labels = ulvo_test::collect_label_text(dialog);
    seen->parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
    GtkWidget *close = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
    if (close)
        gtk_button_clicked(GTK_BUTTON(close));
    else
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
    return FALSE;
}

Seen run_memory_view(gpointer data)
{
    setlocale(LC_ALL, "");
    kivel_locale_prefer_english();
    kivel_locale_bind_platform_catalogs();
    Seen seen;
    guint timer = gdk_threads_add_timeout(20, close_memory_dialog, &seen);
    seen.result = ulvo_cp_plugin_execute(nullptr, "libcpmemory.so", data, TRUE);
    if (!seen.finished)
        g_source_remove(timer);
    return seen;
}

bool shows(const Seen &seen, const std::string &text)
{
    return seen.labels.find(text) != std::string::npos;
}

std::string size_text(guint64 bytes)
{
    gchar *text = g_format_size(bytes);
    std::string s = text;
    g_free(text);
    return s;
}

} // namespace

TEST(UlvoPlugin, MemoryViewShowsTheDocumentsFolderOverItsWindow)
{
    ulvo_test::make_dir(ulvo_test::test_home() + "/MyDocs");
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(window);

    Seen seen = run_memory_view(window);
    EXPECT_EQ(seen.result, ULVO_OK);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, "Memory usage");
    EXPECT_EQ(seen.parent, GTK_WINDOW(window));
    EXPECT_TRUE(shows(seen, "Documents\n")) << seen.labels;
    EXPECT_TRUE(shows(seen, "Used\n")) << seen.labels;
    EXPECT_TRUE(shows(seen, "Free\n")) << seen.labels;
    EXPECT_TRUE(shows(seen, "Close")) << seen.labels;
    EXPECT_FALSE(shows(seen, "memo_")) << seen.labels;
    EXPECT_EQ(ulvo_test::find_showing_dialog(), nullptr) << "the dialog outlived its run";
    gtk_widget_destroy(window);
}

TEST(UlvoPlugin, MemoryViewListsAnInsertedCardWithItsFigures)
{
    // A private mount namespace with a small card at /media/mmc1.
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr))
        GTEST_SKIP() << "no private mount namespace here: " << strerror(errno);
    if (mount("tmpfs", "/media", "tmpfs", 0, "size=1m") != 0 || g_mkdir("/media/mmc1", 0755) != 0 ||
        mount("tmpfs", "/media/mmc1", "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a card under /media: " << strerror(errno);
    ulvo_test::write_file("/media/mmc1/song.mp3", std::string(1 << 20, 'x'));
    struct statvfs card;
    ASSERT_EQ(statvfs("/media/mmc1", &card), 0);

    g_rmdir((ulvo_test::test_home() + "/MyDocs").c_str());

    Seen seen = run_memory_view(nullptr);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.parent, nullptr);
    EXPECT_TRUE(shows(seen, "Documents\nNot available")) << seen.labels; // no MyDocs here
    EXPECT_TRUE(shows(seen, "Memory card 1\n")) << seen.labels;
    EXPECT_TRUE(shows(seen, size_text(guint64(card.f_blocks - card.f_bfree) * card.f_frsize)))
        << seen.labels;
    EXPECT_TRUE(shows(seen, size_text(guint64(card.f_bavail) * card.f_frsize))) << seen.labels;
    EXPECT_FALSE(shows(seen, "Memory card 2")) << seen.labels;
}

TEST(UlvoPlugin, LoaderRefusesWhatItCannotRun)
{
    ulvo_test::LogRecorder log("ulvo");
    EXPECT_EQ(ulvo_cp_plugin_execute(nullptr, "libnothere.so", nullptr, TRUE), ULVO_ERROR);
    EXPECT_TRUE(log.contains("libnothere.so")) << log.text();
    EXPECT_EQ(ulvo_cp_plugin_execute(nullptr, "../plugins/libcpmemory.so", nullptr, TRUE),
              ULVO_ERROR_INVALID_PARAMS);

    // The folder override is honoured: a library without the entry point.
    Dl_info glib;
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&g_free), &glib), 0);
    gchar *folder = g_path_get_dirname(glib.dli_fname);
    gchar *name = g_path_get_basename(glib.dli_fname);
    g_setenv("ULVO_PLUGIN_DIR", folder, TRUE);
    EXPECT_EQ(ulvo_cp_plugin_execute(nullptr, name, nullptr, TRUE), ULVO_ERROR);
    EXPECT_TRUE(log.contains("has no entry point")) << log.text();
    EXPECT_EQ(ulvo_cp_plugin_execute(nullptr, "libcpmemory.so", nullptr, TRUE), ULVO_ERROR);
    g_unsetenv("ULVO_PLUGIN_DIR");
    g_free(folder);
    g_free(name);
}
