// Large folders: the content pane stays in step with the model through the
// disk's changes and new orders, a folder entered again lists every row, and
// cells show what the model holds the moment it changes.
#include "platform/selection/selection-fixture.h"
#include "platform/toolkit/kivel-file-size.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <algorithm>
#include <map>

using namespace ulvo_test;
using namespace selection_test;
using Names = std::vector<std::string>;

namespace
{

class SelectionLarge : public SelectionTest
{
  protected:
    std::map<std::string, size_t> sizes; // what is on disk: name -> bytes

    void add(const std::string &dir, const std::string &name, size_t size)
    {
        write_file(dir + "/" + name, std::string(size, 'x'));
        sizes[name] = size;
    }
    Names by_name() const
    {
        Names names;
        for (const auto &entry : sizes)
            names.push_back(entry.first);
        return names;
    }
    // Largest first; equal sizes by name.
    Names by_size_descending() const
    {
        Names names = by_name();
        std::stable_sort(names.begin(), names.end(),
                         [&](const auto &a, const auto &b) { return sizes.at(a) > sizes.at(b); });
        return names;
    }
    bool listed_in_order(const Names &expected)
    {
        return pump_until([&] { return names() == expected; });
    }
};

static std::string numbered(const char *prefix, int i)
{
    gchar *name = g_strdup_printf("%s%05d", prefix, i);
    std::string result = name;
    g_free(name);
    return result;
}

TEST_F(SelectionLarge, ThousandsOfRowsFollowCreatesDeletesRenamesAndNewOrders)
{
    std::string dir = folder("many");
    for (int i = 0; i < 4000; i++)
        add(dir, numbered("f", i), size_t(i % 13));
    build();
    enter(dir);
    ASSERT_TRUE(await_count(4000));
    ASSERT_EQ(names(), by_name());

    // From a shell, while the folder is shown.
    for (int i = 0; i < 4000; i += 37) {
        ASSERT_EQ(g_remove((dir + "/" + numbered("f", i)).c_str()), 0);
        sizes.erase(numbered("f", i));
    }
    for (int i = 1; i < 4000; i += 97) {
        if (i % 37 == 0)
            continue; // gone already
        std::string from = numbered("f", i), to = numbered("r", i);
        ASSERT_EQ(g_rename((dir + "/" + from).c_str(), (dir + "/" + to).c_str()), 0);
        sizes[to] = sizes[from];
        sizes.erase(from);
    }
    for (int i = 0; i < 60; i++)
        add(dir, numbered("n", i), 20 + size_t(i));
    EXPECT_TRUE(listed_in_order(by_name())) << "the pane lists " << names().size();

    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_SIZE,
                                      GTK_SORT_DESCENDING);
    EXPECT_EQ(names(), by_size_descending());

    // A file that grows moves to its place in the order in force.
    add(dir, numbered("f", 5), 500);
    EXPECT_TRUE(listed_in_order(by_size_descending()));

    // The end of the list is reachable and its last file can be selected.
    std::string last = by_size_descending().back();
    GtkTreePath *end = gtk_tree_path_new_from_indices(int(sizes.size()) - 1, -1);
    gtk_tree_view_scroll_to_cell(content_view(), end, nullptr, FALSE, 0, 0);
    gtk_tree_path_free(end);
    ASSERT_TRUE(kivel_file_selection_select_uri(fs(), uri_of(dir + "/" + last).c_str()));
    EXPECT_EQ(selected_uris(), (std::vector<std::string>{uri_of(dir + "/" + last)}));

    // Deleted from a shell, the selected last row goes.
    ASSERT_EQ(g_remove((dir + "/" + last).c_str()), 0);
    sizes.erase(last);
    EXPECT_TRUE(listed_in_order(by_size_descending()));
    EXPECT_TRUE(selected_uris().empty());

    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_NAME, GTK_SORT_ASCENDING);
    EXPECT_EQ(names(), by_name());
}

TEST_F(SelectionLarge, ALoadedFolderEnteredAgainListsEveryRow)
{
    // More rows than one fill step can take.
    const int count = 30000;
    std::string dir = folder("again");
    for (int i = 0; i < count; i++)
        write_file(dir + "/" + numbered("g", i));
    build();
    enter(dir);
    ASSERT_TRUE(await_count(count, 60000));

    for (int trip = 0; trip < 2; trip++) {
        GError *error = nullptr;
        ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs(), "files:///", &error));
        ASSERT_TRUE(pump_until([&] { return kivel_file_selection_content_is_complete(fs()); }));
        enter(dir);
        ASSERT_TRUE(
            pump_until([&] { return kivel_file_selection_content_is_complete(fs()); }, 60000));
        ASSERT_EQ(kivel_file_selection_get_content_count(fs()), count);
        EXPECT_EQ(name_at(0), numbered("g", 0));
        EXPECT_EQ(name_at(count - 1), numbered("g", count - 1));
    }
}

// Rows of a folder read while it is shown go in together: they must land
// in the order in force, rows gone meanwhile must never show, and a mark
// made while the rest arrives must stay.
TEST_F(SelectionLarge, AFolderReadWhileShownListsItsRowsInOrderThroughChanges)
{
    const int count = 20000;
    std::string dir = folder("reading");
    for (int i = 0; i < count; i++)
        add(dir, numbered("h", i), size_t((i * 7919) % 211));
    // One row per step, so that the disk changes while the folder is read.
    kivel_file_system_model_set_slice_budget(0);
    build();
    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_SIZE,
                                      GTK_SORT_DESCENDING);
    enter(dir);
    GtkTreeIter folder, child;
    ASSERT_TRUE(
        kivel_file_system_model_search_uri(model(), uri_of(dir).c_str(), &folder, nullptr, TRUE));
    // Some rows shown, more in the model.
    ASSERT_TRUE(pump_until([&] {
        int shown = kivel_file_selection_get_content_count(fs());
        return shown >= 200 && gtk_tree_model_iter_n_children(model_, &folder) > shown + 20;
    }));
    ASSERT_FALSE(kivel_file_system_model_children_loaded(model(), &folder))
        << "read too fast to test";

    std::string marked = name_at(0);
    ASSERT_TRUE(kivel_file_selection_select_uri(fs(), uri_of(dir + "/" + marked).c_str()));
    // Gone from a shell while the folder is read: rows the model has but
    // the pane does not show yet, and rows not read yet.
    Names shown = names(), waiting;
    for (bool ok = gtk_tree_model_iter_children(model_, &child, &folder); ok;
         ok = gtk_tree_model_iter_next(model_, &child)) {
        gchar *name = nullptr;
        gtk_tree_model_get(model_, &child, KIVEL_FILE_SYSTEM_MODEL_NAME, &name, -1);
        if (name && sizes.count(name) && std::find(shown.begin(), shown.end(), name) == shown.end())
            waiting.push_back(name);
        g_free(name);
    }
    ASSERT_FALSE(waiting.empty()) << "every row the model has is shown already";
    Names gone;
    for (size_t i = 0; i < waiting.size(); i += 3) {
        ASSERT_EQ(g_remove((dir + "/" + waiting[i]).c_str()), 0);
        sizes.erase(waiting[i]);
        gone.push_back(waiting[i]);
    }
    ASSERT_TRUE(pump_until([&] {
        for (const std::string &name : gone)
            if (kivel_file_system_model_search_uri(model(), uri_of(dir + "/" + name).c_str(),
                                                   nullptr, nullptr, TRUE))
                return false;
        return true;
    }));
    ASSERT_FALSE(kivel_file_system_model_children_loaded(model(), &folder))
        << "read too fast to test";
    for (int i = 1; i < count; i += 41) {
        std::string name = numbered("h", i);
        if (name == marked || !sizes.count(name))
            continue;
        ASSERT_EQ(g_remove((dir + "/" + name).c_str()), 0);
        sizes.erase(name);
    }
    for (int i = 0; i < 5; i++)
        add(dir, numbered("late", i), 300 + size_t(i));

    ASSERT_TRUE(await_count(int(sizes.size()), 60000))
        << kivel_file_selection_get_content_count(fs()) << " of " << sizes.size();
    EXPECT_TRUE(listed_in_order(by_size_descending()));
    EXPECT_EQ(selected_uris(), (std::vector<std::string>{uri_of(dir + "/" + marked)}));
    // The pane and the model agree row for row.
    EXPECT_EQ(gtk_tree_model_iter_n_children(model_, &folder), int(sizes.size()));
}

TEST_F(SelectionLarge, CellsShowTheModelsRowTheMomentItChanges)
{
    std::string dir = folder("cells");
    add(dir, "a.txt", 1);
    build();
    kivel_file_selection_set_column_headers(fs(), TRUE);
    enter(dir);
    ASSERT_TRUE(await_count(1));

    // The size column, as soon as the model has the new size.
    GtkTreeIter row;
    std::string uri = uri_of(dir + "/a.txt");
    write_file(dir + "/a.txt", std::string(5000, 'x'));
    ASSERT_TRUE(pump_until([&] {
        gint64 size = 0;
        return kivel_file_system_model_search_uri(model(), uri.c_str(), &row, nullptr, TRUE) &&
               (gtk_tree_model_get(model_, &row, KIVEL_FILE_SYSTEM_MODEL_SIZE, &size, -1),
                size == 5000);
    }));
    gchar *size = kivel_format_file_size_for_display(5000);
    EXPECT_EQ(column_text(2, 0), size);
    g_free(size);

    // The name and the icon, as soon as the model has the renamed file.
    ASSERT_EQ(g_rename((dir + "/a.txt").c_str(), (dir + "/b.png").c_str()), 0);
    std::string renamed = uri_of(dir + "/b.png");
    ASSERT_TRUE(pump_until([&] {
        return kivel_file_system_model_search_uri(model(), renamed.c_str(), &row, nullptr, TRUE) &&
               !kivel_file_system_model_search_uri(model(), uri.c_str(), nullptr, nullptr, TRUE);
    }));
    EXPECT_EQ(names(), (Names{"b.png"}));
    GdkPixbuf *expected = nullptr;
    gtk_tree_model_get(model_, &row, KIVEL_FILE_SYSTEM_MODEL_ICON, &expected, -1);
    EXPECT_NE(expected, nullptr);
    EXPECT_EQ(icon_at(0), expected);
    if (expected)
        g_object_unref(expected);
}

} // namespace
