// The header row's path label and navigation to folders not loaded yet.
#include "browser-fixture.h"
#include "model/path-label.h"

using namespace browser_test;

class PathLabel : public testing::Test
{
  protected:
    void start()
    {
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        fs = file_selection_of(browser);
    }

    // Moves there once the model has it; the label follows every move.
    void go_to(const std::string &path)
    {
        std::string uri = file_uri(path);
        ulvo_fm_select_texturi_with_time(uri.c_str(), 0);
        ASSERT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == uri; }));
    }

    std::string label() { return gtk_label_get_text(GTK_LABEL(browser->path_label)); }

    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *fs = nullptr;
};

TEST_F(PathLabel, NamesBelowTheDocumentsFolderEachFollowedByASlash)
{
    ulvo_test::make_dir(docs_dir() + "/Images/Trip");
    start();
    EXPECT_EQ(label(), "");
    go_to(docs_dir() + "/Images/Trip");
    EXPECT_EQ(label(), "Images/Trip/");
    EXPECT_TRUE(gtk_widget_get_sensitive(browser->folder_up_button));
    EXPECT_EQ(ulvo_fm_count_current_folder_items(fs), 0);
}

TEST_F(PathLabel, SpecialFoldersShowTheirTitles)
{
    ulvo_test::make_dir(docs_dir() + "/.images/2026");
    start();
    go_to(docs_dir() + "/.images/2026");
    EXPECT_EQ(label(), "Images/2026/");
}

TEST_F(PathLabel, ALabelThatWouldReach1024CharactersStopsBeforeTheName)
{
    std::string name(250, 'n');
    std::string path = docs_dir();
    for (int level = 0; level < 5; level++)
        path += "/" + name + std::to_string(level);
    ulvo_test::make_dir(path);
    ulvo_test::LogRecorder log("filemanager");
    start();
    go_to(path);
    // Four names fit (4 x 252 characters); the fifth from the end would not.
    std::string text = label();
    EXPECT_LT(text.size(), 1024u);
    EXPECT_EQ(text.substr(0, 1), "/");
    EXPECT_EQ(text.substr(text.size() - 253), "/" + name + "4/");
    EXPECT_TRUE(log.contains("path exceeds the maximum path length"));
}

TEST_F(PathLabel, ItemCountLeavesPlaceholdersOut)
{
    ulvo_test::write_file(docs_dir() + "/Box/a.txt");
    ulvo_test::write_file(docs_dir() + "/Box/b.txt");
    ulvo_test::make_dir(docs_dir() + "/Box/inner");
    start();
    go_to(docs_dir() + "/Box");
    ASSERT_TRUE(await_content_count(browser, 3));
    EXPECT_EQ(ulvo_fm_count_current_folder_items(fs), 3);

    // The top level counts its devices, without a warning.
    ulvo_test::LogRecorder log("filemanager");
    ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs, "files:///", nullptr));
    // The documents row, and whatever cards this machine has under /media.
    gint shown = 0;
    ASSERT_TRUE(ulvo_test::pump_until([&] {
        shown = kivel_file_selection_get_content_count(fs);
        return shown >= 1;
    }));
    EXPECT_EQ(ulvo_fm_count_current_folder_items(fs), shown);
    EXPECT_FALSE(log.contains("Failed to obtain the current folder iter")) << log.text();
}

TEST_F(PathLabel, PendingNavigationReachesADeepFolderOnALaterTick)
{
    ulvo_test::make_dir(docs_dir() + "/one/two/three");
    start();
    std::string uri = file_uri(docs_dir() + "/one/two/three");
    ulvo_fm_select_texturi_with_time(uri.c_str(), 0);
    // Nothing moves before the first tick, 500 ms later.
    EXPECT_EQ(current_folder(browser), file_uri(docs_dir()));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == uri; }, 3000));
    EXPECT_EQ(label(), "one/two/three/");
}

TEST_F(PathLabel, PendingNavigationGivesUpAfterFiveTicks)
{
    start();
    std::string later = docs_dir() + "/later";
    std::string uri = file_uri(later);
    ulvo_fm_select_texturi_with_time(uri.c_str(), 0);
    gint64 scheduled = g_get_monotonic_time();
    // Five attempts fail; the folder appears only after the last one.
    ulvo_test::pump_until([&] { return g_get_monotonic_time() - scheduled > 2700 * 1000; }, 4000);
    ulvo_test::make_dir(later);
    ulvo_test::pump_for(1200);
    EXPECT_EQ(current_folder(browser), file_uri(docs_dir()));

    // A new request for the same folder, now there, succeeds.
    ulvo_fm_select_texturi_with_time(uri.c_str(), 0);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == uri; }, 3000));
}

TEST_F(PathLabel, PendingNavigationForAFileSelectionDestroyedMeanwhileStops)
{
    start();
    GtkTreeModel *model = nullptr;
    g_object_get(fs, "model", &model, NULL);
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget *other = kivel_file_selection_new_with_model(KIVEL_FILE_SYSTEM_MODEL(model));
    g_object_unref(model);
    gtk_container_add(GTK_CONTAINER(window), other);
    gtk_widget_show_all(window);
    global_ofm->file_selection = other;

    ulvo_test::LogRecorder log("filemanager");
    ulvo_fm_select_texturi_with_time(file_uri(docs_dir()).c_str(), 0);
    gtk_widget_destroy(window);
    global_ofm->file_selection = GTK_WIDGET(fs);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return log.contains("INVALID PARAMETERS"); }, 3000));
}
