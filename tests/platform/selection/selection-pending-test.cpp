// Items selected as their rows are listed: a restored selection.
#include "platform/selection/selection-fixture.h"

using namespace ulvo_test;
using namespace selection_test;
using Uris = std::vector<std::string>;

namespace
{

class SelectionPending : public SelectionTest
{
  protected:
    void wait_for(const std::string &dir, const Uris &uris)
    {
        GSList *list = nullptr;
        for (auto it = uris.rbegin(); it != uris.rend(); ++it)
            list = g_slist_prepend(list, g_strdup(it->c_str()));
        kivel_file_selection_select_uris_when_listed(fs(), uri_of(dir).c_str(), list);
        g_slist_free_full(list, g_free);
    }
};

TEST_F(SelectionPending, TheFolderEnteredNextSelectsItsItemsAndLaterFilesStayUnselected)
{
    std::string dir = folder("trip");
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        write_file(dir + "/" + name);
    build();
    wait_for(dir, {uri_of(dir + "/c.txt"), uri_of(dir + "/a.txt"), uri_of(dir + "/gone.txt")});
    log.clear();
    enter(dir);
    ASSERT_TRUE(await_count(3));
    EXPECT_TRUE(pump_until([&] {
        return selected_uris() == Uris{uri_of(dir + "/a.txt"), uri_of(dir + "/c.txt")};
    }));
    EXPECT_GE(log.count("selection-changed"), 1);

    // Once the folder is listed whole, the wait is over.
    ASSERT_TRUE(pump_until([&] {
        GtkTreeIter current;
        return kivel_file_selection_get_current_folder_iter(fs(), &current) &&
               kivel_file_system_model_children_loaded(model(), &current);
    }));
    write_file(dir + "/gone.txt");
    ASSERT_TRUE(await_count(4));
    EXPECT_EQ(selected_uris(), (Uris{uri_of(dir + "/a.txt"), uri_of(dir + "/c.txt")}));
}

TEST_F(SelectionPending, AnotherFolderEnteredFirstEndsTheWait)
{
    std::string dir = folder("trip");
    write_file(dir + "/a.txt");
    std::string other = folder("other");
    build();
    wait_for(dir, {uri_of(dir + "/a.txt")});
    enter(other);
    enter(dir);
    ASSERT_TRUE(await_count(1));
    EXPECT_TRUE(selected_uris().empty());
}

} // namespace
