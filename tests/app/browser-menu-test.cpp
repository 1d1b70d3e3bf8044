// The application menu shows only what makes sense in the current folder.
#include "browser-fixture.h"
#include "model/path-label.h"

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
