// The staged construction of the main window.
#include "browser-fixture.h"

using namespace browser_test;

static void write_folder_state(const std::string &contents)
{
    ulvo_test::write_file(ulvo_test::test_home() + "/.ulvo/ULVO_FILEMANAGER/Folderstate", contents);
}

static gint pane_position_after_stage0()
{
    UlvoFmBrowser *browser = start_browser();
    EXPECT_TRUE(ulvo_test::pump_until([&] { return browser->construction_step >= 1; }));
    gint position = -1;
    g_object_get(browser->file_selection, "pane-position", &position, NULL);
    return position;
}

TEST(BrowserConstruction, WindowShowsBeforeFileSelectionAndMenuFromStageOne)
{
    UlvoFmBrowser *browser = start_browser();
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(browser)));
    EXPECT_EQ(browser->file_selection, nullptr);
    EXPECT_EQ(browser->main_menu, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(browser)), "File manager");

    ASSERT_TRUE(ulvo_test::pump_until([&] { return browser->construction_step >= 1; }));
    EXPECT_NE(browser->file_selection, nullptr);
    EXPECT_EQ(global_ofm->file_selection, browser->file_selection);
    EXPECT_EQ(browser->main_menu, nullptr);

    ASSERT_TRUE(ulvo_test::pump_until([&] { return browser->construction_step >= 2; }));
    EXPECT_NE(browser->main_menu, nullptr);
    EXPECT_NE(global_ofm->keyfile, nullptr);

    ASSERT_TRUE(await_construction(browser));
    EXPECT_NE(fm_app_ctx, nullptr);
    // Construction starts at the top of the tree: the documents folder.
    EXPECT_EQ(current_folder(browser), file_uri(docs_dir()));
    // Above it is the top level with the memory cards.
    EXPECT_TRUE(gtk_widget_get_sensitive(browser->folder_up_button));
}

TEST(BrowserConstruction, ClosingDuringConstructionStopsIt)
{
    ulvo_test::LogRecorder gtk_log("Gtk"), gobject_log("GLib-GObject"), glib_log("GLib"),
        fm_log("filemanager");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(ulvo_test::pump_until([&] { return browser->construction_step >= 1; }));
    g_object_ref(browser);
    gtk_widget_destroy(GTK_WIDGET(browser));
    EXPECT_TRUE(shutting_down);
    EXPECT_EQ(global_ofm->selection_info, nullptr);

    // Ticks of the construction timeout would have built the menu.
    ulvo_test::pump_for(400);
    EXPECT_EQ(browser->construction_step, 1);
    EXPECT_EQ(browser->main_menu, nullptr);
    EXPECT_EQ(fm_app_ctx, nullptr);
    EXPECT_EQ(browser->construction_timeout_id, 0u);
    g_object_unref(browser);
    EXPECT_EQ(gtk_log.text(), "");
    EXPECT_EQ(gobject_log.text(), "");
    EXPECT_EQ(glib_log.text(), "");
    EXPECT_FALSE(fm_log.contains("assertion"));
}

TEST(BrowserConstruction, ClosingRightAfterCreationBuildsNothing)
{
    UlvoFmBrowser *browser = start_browser();
    g_object_ref(browser);
    gtk_widget_destroy(GTK_WIDGET(browser));
    ulvo_test::pump_for(200);
    EXPECT_EQ(browser->construction_step, 0);
    EXPECT_EQ(browser->file_selection, nullptr);
    g_object_unref(browser);
}

TEST(BrowserConstruction, ClosingSavesFolderStateAndWritesClosedState)
{
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    gtk_widget_destroy(GTK_WIDGET(browser));
    EXPECT_TRUE(
        ulvo_test::path_exists(ulvo_test::test_home() + "/.ulvo/ULVO_FILEMANAGER/Folderstate"));
    EXPECT_EQ(fm_app_ctx, nullptr);
    EXPECT_EQ(global_ofm->keyfile, nullptr);

    ulvo_context_t *ctx = ulvo_initialize("ulvo_filemanager", "0.4.6", TRUE, nullptr);
    ASSERT_NE(ctx, nullptr);
    ulvo_state_t state = {0, nullptr};
    ASSERT_EQ(ulvo_state_read(ctx, &state), ULVO_OK);
    EXPECT_EQ(std::string(static_cast<char *>(state.state_data), state.state_size), "Closed");
    g_free(state.state_data);
    ulvo_deinitialize(ctx);
}

TEST(BrowserConstruction, PanePositionFromKeyFile)
{
    write_folder_state("[ui]\npane_position=320\n");
    EXPECT_EQ(pane_position_after_stage0(), 320);
}

TEST(BrowserConstruction, PanePositionZeroGivesDefault)
{
    write_folder_state("[ui]\npane_position=0\n");
    EXPECT_EQ(pane_position_after_stage0(), 250);
}

TEST(BrowserConstruction, PanePositionNegativeGivesDefault)
{
    write_folder_state("[ui]\npane_position=-40\n");
    EXPECT_EQ(pane_position_after_stage0(), 250);
}

TEST(BrowserConstruction, PanePositionMissingGivesDefault)
{
    write_folder_state("[ui]\nother=1\n");
    EXPECT_EQ(pane_position_after_stage0(), 250);
}

TEST(BrowserConstruction, PanePositionGarbageGivesDefault)
{
    write_folder_state("[ui]\npane_position=wide\n");
    EXPECT_EQ(pane_position_after_stage0(), 250);
}

TEST(BrowserConstruction, NoSessionBusEndsConstructionAfterStageTwo)
{
    g_setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", TRUE);
    ulvo_test::LogRecorder fm_log("filemanager");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(ulvo_test::pump_until([&] { return browser->construction_timeout_id == 0; }));
    EXPECT_EQ(browser->construction_step, 3);
    EXPECT_EQ(fm_app_ctx, nullptr);
    EXPECT_TRUE(fm_log.contains("fm_app_ctx != NULL"));
    // The menu and the file selection were built before.
    EXPECT_NE(browser->main_menu, nullptr);
    EXPECT_NE(browser->file_selection, nullptr);
}
