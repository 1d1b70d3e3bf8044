// The Sort entry of the real window: the picker orders the content pane,
// the choice is stored for the folder and comes back when it is entered.
#include "app/browser-fixture.h"
#include "platform/toolkit/kivel-picker.h"
#include "settings/folder-state.h"
#include "ui/notices-fixture.h"

#include <sys/time.h>

using namespace browser_test;
using notices_test::when_dialog_shows;

namespace
{

void set_mtime(const std::string &path, time_t seconds)
{
    struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0) << path;
}

class SortDialog : public testing::Test
{
  protected:
    void SetUp() override
    {
        trip = docs_dir() + "/Trip";
        other = docs_dir() + "/Other";
        // Each of the six orders puts these three in another order.
        ulvo_test::write_file(trip + "/a.txt", "aaa");
        ulvo_test::write_file(trip + "/b.txt", "b");
        ulvo_test::write_file(trip + "/c.txt", "cc");
        set_mtime(trip + "/a.txt", 1600000000);
        set_mtime(trip + "/b.txt", 1700000000);
        set_mtime(trip + "/c.txt", 1500000000);
        ulvo_test::write_file(other + "/y.txt", "yyyy");
        ulvo_test::write_file(other + "/z.txt", "z");
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        fs = file_selection_of(browser);
        enter(trip, 3);
    }

    void enter(const std::string &path, int count)
    {
        std::string uri = file_uri(path);
        GtkTreeModel *model = nullptr;
        g_object_get(fs, "model", &model, NULL);
        GtkTreeIter iter;
        ASSERT_TRUE(ulvo_test::pump_until([&] {
            return kivel_file_system_model_load_path(KIVEL_FILE_SYSTEM_MODEL(model), uri.c_str(),
                                                     &iter) != FALSE;
        }));
        g_object_unref(model);
        ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs, uri.c_str(), nullptr));
        ASSERT_TRUE(await_content_count(browser, count));
    }

    // The names of the content pane's items, top to bottom.
    std::string order()
    {
        kivel_file_selection_select_all(fs);
        GSList *uris = kivel_file_selection_get_selected_uris(fs);
        kivel_file_selection_unselect_all(fs);
        std::string out;
        for (GSList *l = uris; l; l = l->next) {
            gchar *name = g_path_get_basename(static_cast<const gchar *>(l->data));
            out += std::string(out.empty() ? "" : " ") + name;
            g_free(name);
        }
        g_slist_free_full(uris, g_free);
        return out;
    }

    // Taps Sort in the application menu and then row `row` of the picker;
    // -1 closes the picker instead.
    void choose(int row)
    {
        bool acted = false;
        when_dialog_shows([&](GtkWidget *dialog) {
            acted = KIVEL_IS_PICKER_DIALOG(dialog);
            if (row < 0 || !acted) {
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
                return;
            }
            KivelTouchSelector *selector =
                kivel_picker_dialog_get_selector(KIVEL_PICKER_DIALOG(dialog));
            GtkTreeView *view = kivel_touch_selector_get_tree_view(selector);
            kivel_touch_selector_set_active(selector, 0, row);
            GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
            gtk_tree_view_row_activated(view, path, gtk_tree_view_get_column(view, 0));
            gtk_tree_path_free(path);
        });
        gtk_button_clicked(GTK_BUTTON(browser->sort_button));
        EXPECT_TRUE(acted) << "the picker showed";
        EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    }

    // The stored view state of `path`, or -1 when it has none.
    gint stored(const std::string &path)
    {
        std::string uri = file_uri(path);
        if (!g_key_file_has_key(global_ofm->keyfile, ULVO_FM_FOLDER_STATE_GROUP, uri.c_str(),
                                nullptr))
            return -1;
        return g_key_file_get_integer(global_ofm->keyfile, ULVO_FM_FOLDER_STATE_GROUP, uri.c_str(),
                                      nullptr);
    }

    std::string trip, other;
    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *fs = nullptr;
};

} // namespace

TEST_F(SortDialog, EveryChoiceOrdersTheContentPaneAndIsStored)
{
    struct Case {
        int row;
        const char *order;
        gint stored;
    } cases[] = {
        {1, "c.txt b.txt a.txt", 0x20}, {2, "b.txt a.txt c.txt", 0x20 | 2},
        {3, "c.txt a.txt b.txt", 2},    {4, "a.txt c.txt b.txt", 0x20 | 3},
        {5, "b.txt c.txt a.txt", 3},    {0, "a.txt b.txt c.txt", -1},
    };
    for (const Case &c : cases) {
        choose(c.row);
        EXPECT_EQ(order(), c.order) << "row " << c.row;
        EXPECT_EQ(stored(trip), c.stored) << "row " << c.row;
    }
}

TEST_F(SortDialog, TheOrderAndModeComeBackWhenTheFolderIsEnteredAgain)
{
    kivel_file_selection_set_mode(fs, KIVEL_FILE_SELECTION_MODE_THUMBNAILS);
    choose(4);
    EXPECT_EQ(stored(trip), 99);

    enter(other, 2);
    EXPECT_EQ(order(), "y.txt z.txt") << "a folder with nothing stored shows by name";
    EXPECT_EQ(kivel_file_selection_get_mode(fs), KIVEL_FILE_SELECTION_MODE_LIST);

    enter(trip, 3);
    EXPECT_EQ(order(), "a.txt c.txt b.txt");
    EXPECT_EQ(kivel_file_selection_get_mode(fs), KIVEL_FILE_SELECTION_MODE_THUMBNAILS);
    EXPECT_EQ(stored(other), -1);
}

TEST_F(SortDialog, ClosingThePickerChangesNothing)
{
    choose(2);
    ASSERT_EQ(order(), "b.txt a.txt c.txt");
    choose(-1);
    EXPECT_EQ(order(), "b.txt a.txt c.txt");
    EXPECT_EQ(stored(trip), 0x20 | 2);
}
