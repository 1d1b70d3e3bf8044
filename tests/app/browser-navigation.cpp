// Browsing with the folder-up button, the path label and the Enter key.
#include "browser-fixture.h"

#include <gdk/gdkkeysyms.h>

using namespace browser_test;

class BrowserNavigation : public testing::Test
{
  protected:
    void SetUp() override
    {
        ulvo_test::make_dir(docs_dir() + "/Trip/Day one");
        ulvo_test::write_file(docs_dir() + "/Trip/a.jpg", "a");
        ulvo_test::write_file(docs_dir() + "/Trip/b.jpg", "bb");
        ulvo_test::write_file(docs_dir() + "/Trip/c.jpg", "ccc");
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        fs = file_selection_of(browser);
        g_signal_connect(fs, "file-activated", G_CALLBACK(+[](GtkWidget *, gpointer count) {
                             ++*static_cast<int *>(count);
                         }),
                         &activations);
    }

    // Enters the folder the way a person does: activating its row.
    void enter_folder(const std::string &path)
    {
        std::string uri = file_uri(path);
        ASSERT_TRUE(ulvo_test::pump_until(
            [&] { return kivel_file_selection_select_uri(fs, uri.c_str()); }));
        GtkTreeView *view = GTK_TREE_VIEW(kivel_file_selection_get_content_view(fs));
        GtkTreePath *cursor = nullptr;
        gtk_tree_view_get_cursor(view, &cursor, nullptr);
        if (!cursor) {
            GList *rows =
                gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(view), nullptr);
            ASSERT_NE(rows, nullptr);
            cursor = gtk_tree_path_copy(static_cast<GtkTreePath *>(rows->data));
            g_list_free_full(rows, (GDestroyNotify)gtk_tree_path_free);
        }
        gtk_tree_view_row_activated(view, cursor, gtk_tree_view_get_column(view, 0));
        gtk_tree_path_free(cursor);
        ASSERT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == uri; }));
    }

    gboolean press_key(guint keyval, guint state)
    {
        GdkEvent *event = gdk_event_new(GDK_KEY_PRESS);
        event->key.window = GDK_WINDOW(g_object_ref(GTK_WIDGET(browser)->window));
        event->key.keyval = keyval;
        event->key.state = state;
        event->key.send_event = TRUE;
        gboolean handled = FALSE;
        // Only the window's own handlers: no widget has the focus.
        gtk_window_set_focus(GTK_WINDOW(browser), nullptr);
        g_signal_emit_by_name(browser, "key-press-event", event, &handled);
        gdk_event_free(event);
        return handled;
    }

    const char *label() { return gtk_label_get_text(GTK_LABEL(browser->path_label)); }

    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *fs = nullptr;
    int activations = 0;
};

TEST_F(BrowserNavigation, IntoFoldersAndBackUpWithTheFolderUpButton)
{
    EXPECT_TRUE(gtk_widget_get_sensitive(browser->folder_up_button));
    EXPECT_STREQ(label(), "");

    enter_folder(docs_dir() + "/Trip");
    EXPECT_TRUE(gtk_widget_get_sensitive(browser->folder_up_button));
    EXPECT_STREQ(label(), "Trip/");
    enter_folder(docs_dir() + "/Trip/Day one");
    EXPECT_STREQ(label(), "Trip/Day one/");

    gtk_button_clicked(GTK_BUTTON(browser->folder_up_button));
    EXPECT_EQ(current_folder(browser), file_uri(docs_dir() + "/Trip"));
    EXPECT_TRUE(gtk_widget_get_sensitive(browser->folder_up_button));
    EXPECT_STREQ(label(), "Trip/");

    gtk_button_clicked(GTK_BUTTON(browser->folder_up_button));
    EXPECT_EQ(current_folder(browser), file_uri(docs_dir()));
    EXPECT_TRUE(gtk_widget_get_sensitive(browser->folder_up_button));
    EXPECT_STREQ(label(), "");
}

TEST_F(BrowserNavigation, EnterWithTwoSelectedItemsActivatesThem)
{
    enter_folder(docs_dir() + "/Trip");
    ASSERT_TRUE(await_content_count(browser, 4));
    ASSERT_TRUE(kivel_file_selection_select_uri(fs, file_uri(docs_dir() + "/Trip/a.jpg").c_str()));
    ASSERT_TRUE(kivel_file_selection_select_uri(fs, file_uri(docs_dir() + "/Trip/b.jpg").c_str()));
    GSList *selected = kivel_file_selection_get_selected_uris(fs);
    ASSERT_EQ(g_slist_length(selected), 2u);
    g_slist_free_full(selected, g_free);

    // The photos have no application here: the chooser they open is closed.
    guint closer = gdk_threads_add_timeout(
        20,
        [](gpointer) -> gboolean {
            if (GtkWidget *dialog = ulvo_test::find_showing_dialog())
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
            return TRUE;
        },
        nullptr);
    EXPECT_FALSE(press_key(GDK_Return, GDK_CONTROL_MASK));
    EXPECT_EQ(activations, 0);
    EXPECT_TRUE(press_key(GDK_Return, 0));
    EXPECT_EQ(activations, 1);
    EXPECT_TRUE(press_key(GDK_KP_Enter, 0));
    EXPECT_EQ(activations, 2);
    EXPECT_FALSE(press_key(GDK_space, 0));
    EXPECT_EQ(activations, 2);
    g_source_remove(closer);
}

TEST_F(BrowserNavigation, EnterWithOneSelectedItemDoesNothing)
{
    enter_folder(docs_dir() + "/Trip");
    ASSERT_TRUE(await_content_count(browser, 4));
    ASSERT_TRUE(kivel_file_selection_select_uri(fs, file_uri(docs_dir() + "/Trip/a.jpg").c_str()));
    EXPECT_FALSE(press_key(GDK_Return, 0));
    EXPECT_FALSE(press_key(GDK_ISO_Enter, 0));
    EXPECT_EQ(activations, 0);
}
