// Where a restarted browser stands: the saved folder, selection and pane, and
// the folders other programs ask for however deep they lie.
#include "browser-fixture.h"

#include <vector>

using namespace browser_test;
using Uris = std::vector<std::string>;

namespace
{

// Folders `first`, `first`/1, ... `depth` levels in all; returns the deepest.
std::string make_chain(const std::string &first, int depth)
{
    std::string path = first;
    for (int level = 2; level <= depth; level++)
        path += "/" + std::to_string(level);
    ulvo_test::make_dir(path);
    return path;
}

Uris selected_uris(UlvoFmBrowser *browser)
{
    Uris out;
    GSList *list = kivel_file_selection_get_selected_uris(file_selection_of(browser));
    for (GSList *l = list; l; l = l->next)
        out.emplace_back(static_cast<const char *>(l->data));
    g_slist_free_full(list, g_free);
    return out;
}

// TRUE when the first selected row of the content pane is on screen.
bool first_selected_in_view(UlvoFmBrowser *browser)
{
    GtkTreeView *view =
        GTK_TREE_VIEW(kivel_file_selection_get_content_view(file_selection_of(browser)));
    GList *rows = gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(view), nullptr);
    GtkTreePath *start = nullptr, *end = nullptr;
    bool shown = rows && gtk_tree_view_get_visible_range(view, &start, &end) &&
                 gtk_tree_path_compare(start, static_cast<GtkTreePath *>(rows->data)) <= 0 &&
                 gtk_tree_path_compare(static_cast<GtkTreePath *>(rows->data), end) <= 0;
    g_list_free_full(rows, (GDestroyNotify)gtk_tree_path_free);
    if (start)
        gtk_tree_path_free(start);
    if (end)
        gtk_tree_path_free(end);
    return shown;
}

std::string saved_after_going_to_background()
{
    GtkWidget *other = kivel_stackable_window_new();
    gtk_widget_show(other);
    EXPECT_TRUE(ulvo_test::pump_until([&] { return not_topmost; }));
    ulvo_state_t state = {0, nullptr};
    std::string text = "<none>";
    if (ulvo_state_read(fm_app_ctx, &state) == ULVO_OK)
        text.assign(static_cast<char *>(state.state_data), state.state_size);
    g_free(state.state_data);
    return text;
}

} // namespace

TEST(Restore, DeepFolderComesBackWithItsSelectionInViewAndTheContentPane)
{
    std::string folder = make_chain(docs_dir() + "/Trip", 3);
    for (int i = 0; i < 300; i++)
        ulvo_test::write_file(folder + "/f" + std::to_string(1000 + i) + ".jpg");
    Uris items = {file_uri(folder + "/f1250.jpg"), file_uri(folder + "/f1260.jpg")};
    std::string state =
        "Normal\nNone\nContentPane\n" + file_uri(folder) + "\n" + items[0] + "\n" + items[1] + "\n";
    save_state(state);

    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == file_uri(folder); }));
    ASSERT_TRUE(await_content_count(browser, 300));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return selected_uris(browser) == items; }));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return first_selected_in_view(browser); }));
    EXPECT_EQ(kivel_file_selection_get_active_pane(file_selection_of(browser)),
              KIVEL_FILE_SELECTION_PANE_CONTENT);
    EXPECT_EQ(saved_after_going_to_background(), state);
}

TEST(Restore, NavigationPaneComesBackActive)
{
    ulvo_test::write_file(docs_dir() + "/notes.txt");
    std::string item = file_uri(docs_dir() + "/notes.txt");
    save_state("Normal\nNone\nNavigationPane\n" + file_uri(docs_dir()) + "\n" + item + "\n");

    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    EXPECT_EQ(kivel_file_selection_get_active_pane(file_selection_of(browser)),
              KIVEL_FILE_SELECTION_PANE_NAVIGATION);
    // The start folder is the saved one: its item is selected again.
    EXPECT_TRUE(ulvo_test::pump_until([&] { return selected_uris(browser) == Uris{item}; }));
}

TEST(PendingNavigation, FoldersOfAnyDepthAreShownThroughABigFolder)
{
    std::string crowded = docs_dir() + "/crowded";
    ulvo_test::make_dir(crowded);
    for (int i = 0; i < 5000; i++)
        ulvo_test::write_file(crowded + "/sibling" + std::to_string(i));
    std::string twelve = make_chain(crowded + "/1", 11);
    std::string forty = make_chain(docs_dir() + "/deep", 40);
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));

    ASSERT_TRUE(open_folder(file_uri(twelve)));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == file_uri(twelve); }));
    ASSERT_TRUE(open_folder(file_uri(forty)));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == file_uri(forty); }));
}

TEST(PendingNavigation, ANewerRequestReplacesTheOneWaiting)
{
    std::string a3 = make_chain(docs_dir() + "/A1", 3);
    ulvo_test::make_dir(docs_dir() + "/B");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));

    ASSERT_TRUE(open_folder(file_uri(a3)));
    ASSERT_TRUE(open_folder(file_uri(docs_dir() + "/B")));
    ASSERT_TRUE(ulvo_test::pump_until(
        [&] { return current_folder(browser) == file_uri(docs_dir() + "/B"); }));
    // Five attempts of the first request would end within 2.5 s.
    EXPECT_FALSE(
        ulvo_test::pump_until([&] { return current_folder(browser) == file_uri(a3); }, 3000));
}
