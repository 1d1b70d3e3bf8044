// When the platform may stop the program in the background.
#include "app/ulvo-fm-app.h"
#include "browser-fixture.h"
#include "platform/toolkit/kivel-program.h"
#include "platform/toolkit/kivel-window.h"

using namespace browser_test;

class Hibernation : public testing::Test
{
  protected:
    void SetUp() override
    {
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        ASSERT_TRUE(ulvo_test::pump_until([&] { return topmost(); }));
        EXPECT_FALSE(can_hibernate());
    }

    bool topmost()
    {
        gboolean value = FALSE;
        g_object_get(browser, "is-topmost", &value, NULL);
        return value;
    }

    bool can_hibernate() { return kivel_program_get_can_hibernate(kivel_program_get_instance()); }

    // Another window of the stack covers the browser.
    void go_to_background()
    {
        other = kivel_stackable_window_new();
        gtk_widget_show(other);
        ASSERT_TRUE(ulvo_test::pump_until([&] { return not_topmost && !topmost(); }));
    }

    void come_back()
    {
        GtkWidget *popped = kivel_window_stack_pop_1(kivel_window_stack_get_default());
        ASSERT_EQ(popped, other);
        gtk_widget_destroy(popped);
        other = nullptr;
        ASSERT_TRUE(ulvo_test::pump_until([&] { return !not_topmost && topmost(); }));
    }

    std::string saved_state()
    {
        ulvo_state_t state = {0, nullptr};
        if (ulvo_state_read(fm_app_ctx, &state) != ULVO_OK)
            return "<none>";
        std::string text(static_cast<char *>(state.state_data), state.state_size);
        g_free(state.state_data);
        return text;
    }

    UlvoFmBrowser *browser = nullptr;
    GtkWidget *other = nullptr;
};

TEST_F(Hibernation, BackgroundWithNoCommandAllowsItAndForegroundForbidsIt)
{
    std::string folder_state = ulvo_test::test_home() + "/.ulvo/ULVO_FILEMANAGER/Folderstate";
    EXPECT_FALSE(ulvo_test::path_exists(folder_state));
    go_to_background();
    EXPECT_TRUE(can_hibernate());
    // Going to the background saved the window state and the folder settings.
    EXPECT_EQ(saved_state(), "Normal\nNone\nContentPane\n" + file_uri(docs_dir()) + "\n");
    EXPECT_TRUE(ulvo_test::path_exists(folder_state));

    come_back();
    EXPECT_FALSE(can_hibernate());
}

TEST_F(Hibernation, BackgroundDuringDetailsAllowsIt)
{
    ulvo_fm_set_operation(OPER_DETAILS);
    go_to_background();
    EXPECT_TRUE(can_hibernate());
}

TEST_F(Hibernation, BackgroundDuringACopyForbidsItUntilTheCopyEnds)
{
    ulvo_fm_set_operation(OPER_COPY);
    go_to_background();
    EXPECT_FALSE(can_hibernate());
    ulvo_fm_set_operation(OPER_NONE);
    EXPECT_TRUE(can_hibernate());
}

TEST_F(Hibernation, DetailsEndingInTheBackgroundDoesNotDecideAgain)
{
    ulvo_fm_set_operation(OPER_DETAILS);
    go_to_background();
    kivel_program_set_can_hibernate(kivel_program_get_instance(), FALSE);
    ulvo_fm_set_operation(OPER_NONE);
    EXPECT_FALSE(can_hibernate());
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
}

TEST_F(Hibernation, OperationEndingInTheForegroundLeavesTheSwitch)
{
    ulvo_fm_set_operation(OPER_MOVE);
    ulvo_fm_set_operation(OPER_NONE);
    EXPECT_FALSE(can_hibernate());
}
