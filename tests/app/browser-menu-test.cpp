// The application menu shows only what makes sense in the current folder.
#include "browser-fixture.h"
#include "app/ulvo-fm-app.h"
#include "model/path-label.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "ui/notices-fixture.h"

#include <gdk/gdkkeysyms.h>

using namespace browser_test;

class BrowserMenu : public testing::Test
{
  protected:
    void SetUp() override
    {
        ulvo_test::make_dir(docs_dir() + "/Empty");
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
    }

    std::string visible_entries() { return visible_menu_entries(browser); }

    UlvoFmBrowser *browser = nullptr;
};

TEST_F(BrowserMenu, EntriesFollowTheCurrentFolder)
{
    ASSERT_TRUE(ulvo_test::pump_until(
        [&] { return ulvo_fm_count_current_folder_items(file_selection_of(browser)) > 0; }));
    EXPECT_EQ(visible_entries(), "111111");

    std::string empty = file_uri(docs_dir() + "/Empty");
    ulvo_fm_select_texturi_with_time(empty.c_str(), 0);
    ASSERT_TRUE(ulvo_test::pump_until([&] {
        GtkTreeIter folder;
        KivelFileSelection *fs = file_selection_of(browser);
        GObject *model = nullptr;
        g_object_get(fs, "model", &model, NULL);
        gboolean loaded =
            current_folder(browser) == empty &&
            kivel_file_selection_get_current_folder_iter(fs, &folder) &&
            kivel_file_system_model_children_loaded(KIVEL_FILE_SYSTEM_MODEL(model), &folder);
        g_object_unref(model);
        return loaded;
    }));
    EXPECT_EQ(visible_entries(), "100001");

    chmod((docs_dir() + "/Empty").c_str(), 0555);
    EXPECT_EQ(visible_entries(), "000001");
}

// The key works with the menu closed, as it always is while one types.
TEST_F(BrowserMenu, ControlNAsksForANewFolder)
{
    GdkKeymapKey *keys = nullptr;
    gint n_keys = 0;
    ASSERT_TRUE(gdk_keymap_get_entries_for_keyval(nullptr, GDK_n, &keys, &n_keys));
    GdkEvent *event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(browser))));
    event->key.keyval = GDK_n;
    event->key.hardware_keycode = keys[0].keycode;
    event->key.state = GDK_CONTROL_MASK;
    event->key.time = GDK_CURRENT_TIME;
    g_free(keys);

    gint operation = 0;
    bool asked = false;
    notices_test::when_dialog_shows([&](GtkWidget *dialog) {
        asked = KIVEL_IS_FILE_CHOOSER_DIALOG(dialog);
        operation = global_ofm->cur_operation;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    });
    gtk_main_do_event(event);
    gdk_event_free(event);
    EXPECT_TRUE(asked);
    EXPECT_EQ(operation, OPER_NEW_FOLDER);
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
}
