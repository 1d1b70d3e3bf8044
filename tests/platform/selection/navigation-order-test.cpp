// The navigation pane lists folders by name, whatever order they were made
// in, and a tap on a row there goes to that folder.
#include "platform/selection/selection-fixture.h"
#include "platform/fsmodel/kivel-file-system-model.h"
#include "platform/selection/tree-tap.h"

using namespace ulvo_test;
using namespace selection_test;

namespace
{

using Names = std::vector<std::string>;

class NavigationOrder : public SelectionTest
{
  protected:
    GtkTreeView *navi() const
    {
        return GTK_TREE_VIEW(kivel_file_selection_get_navigation_view(fs()));
    }

    // The path of the navigation row that is `uri`, or nullptr.
    GtkTreePath *navi_path(const std::string &uri)
    {
        struct Wanted {
            std::string uri;
            GtkTreePath *found;
        } wanted = {uri, nullptr};
        gtk_tree_model_foreach(
            gtk_tree_view_get_model(navi()),
            [](GtkTreeModel *tree, GtkTreePath *path, GtkTreeIter *iter,
               gpointer data) -> gboolean {
                auto *want = static_cast<Wanted *>(data);
                gchar *row_uri = nullptr;
                gtk_tree_model_get(tree, iter, KIVEL_FILE_SYSTEM_MODEL_URI, &row_uri, -1);
                if (g_strcmp0(row_uri, want->uri.c_str()) == 0)
                    want->found = gtk_tree_path_copy(path);
                g_free(row_uri);
                return want->found != nullptr;
            },
            &wanted);
        return wanted.found;
    }

    // The names of the folders the pane shows under `uri`, top to bottom.
    Names subfolders(const std::string &uri)
    {
        Names names;
        GtkTreePath *path = navi_path(uri);
        GtkTreeModel *tree = gtk_tree_view_get_model(navi());
        GtkTreeIter parent, child;
        bool ok = path && gtk_tree_model_get_iter(tree, &parent, path) &&
                  gtk_tree_model_iter_children(tree, &child, &parent);
        for (; ok; ok = gtk_tree_model_iter_next(tree, &child)) {
            gchar *name = nullptr;
            gtk_tree_model_get(tree, &child, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, &name, -1);
            names.push_back(name ? name : "");
            g_free(name);
        }
        if (path)
            gtk_tree_path_free(path);
        return names;
    }
};

// Where the locale puts "Ä" varies: the plain names keep their order around it.
Names without(Names names, const std::string &name)
{
    for (auto it = names.begin(); it != names.end();)
        it = *it == name ? names.erase(it) : it + 1;
    return names;
}

TEST_F(NavigationOrder, FoldersShowByNameAndATapGoesToTheFolder)
{
    ASSERT_TRUE(pointer_available());
    std::string dir = folder("scrambled");
    for (const char *name : {"b", "A", "c", "B2", "Ä", "a2"})
        make_dir(dir + "/" + name);
    write_file(dir + "/0 notes.txt", "x");
    build();
    enter(dir);
    g_object_set(widget_, "pane-position", 300, nullptr);
    kivel_file_selection_show_navigation_pane(fs());
    std::string top = uri_of(dir);
    ASSERT_TRUE(pump_until([&] { return subfolders(top).size() == 6; }))
        << testing::PrintToString(subfolders(top));
    Names shown = subfolders(top);
    EXPECT_EQ(without(shown, "Ä"), (Names{"A", "a2", "b", "B2", "c"}));
    EXPECT_EQ(shown.size() - without(shown, "Ä").size(), 1u);

    make_dir(dir + "/B1");
    EXPECT_TRUE(pump_until([&] {
        return without(subfolders(top), "Ä") == Names{"A", "a2", "b", "B1", "B2", "c"};
    })) << testing::PrintToString(subfolders(top));

    GtkTreePath *b2 = navi_path(uri_of(dir + "/B2"));
    ASSERT_TRUE(b2);
    EXPECT_EQ(tree_test::tap_tree_row(navi(), b2), "");
    gtk_tree_path_free(b2);
    EXPECT_TRUE(pump_until([&] {
        gchar *current = kivel_file_selection_get_current_folder_uri(fs());
        bool there = current && uri_of(dir + "/B2") == current;
        g_free(current);
        return there;
    }));
}

} // namespace
