// Formatting a memory card selected at the top level: swap cards are
// refused, the others are formatted after a confirmation that ends by
// itself when its card is taken out.
#include "memory-card-fixture.h"
#include "support/private-mounts.h"

#include <sys/mount.h>

using namespace memory_card_test;
using ulvo_test::LogRecorder;

namespace
{

class FormatCardTest : public MemoryCardTest
{
  protected:
    // Inserts the cards and selects nothing yet at the top level.
    void insert_cards()
    {
        for (const char *n : {"1", "2"}) {
            std::string point = std::string("/media/mmc") + n;
            ulvo_test::make_dir(point);
            ASSERT_TRUE(ulvo_test::mount_tmpfs((std::string("card") + n).c_str(), point));
        }
        ASSERT_TRUE(ulvo_test::pump_until([&] {
            return kivel_file_selection_set_current_folder_uri(fs(), "files:///", nullptr) &&
                   kivel_file_selection_get_content_count(fs()) == 3;
        })) << kivel_file_selection_get_content_count(fs());
        // A late keyboard focus must not make the navigation pane the active one.
        g_object_set(fs(), "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    }

    void select_card(const char *uri)
    {
        kivel_file_selection_unselect_all(fs());
        ASSERT_TRUE(kivel_file_selection_select_uri(fs(), uri)) << uri;
    }

    // Runs the format command with a person who takes `steps`.
    gboolean format(std::vector<Person::Step> steps)
    {
        Person person(std::move(steps));
        gboolean shown = ulvo_fm_format_selection(global_ofm);
        EXPECT_TRUE(person.done()) << "the dialogs ended before every step was taken";
        EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
        return shown;
    }
};

} // namespace

TEST_F(FormatCardTest, TheSwapKeysRefuseTheirCardAndTheOtherIsFormattedOnYes)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    ASSERT_TRUE(gconf_set("/system/ulvo/af/mmc-mount-point", "string", "/media/mmc1"));
    ASSERT_TRUE(gconf_set("/system/ulvo/af/mmc-swap", "bool", "true"));
    ASSERT_TRUE(gconf_set("/system/ulvo/af/internal-mmc-swap", "bool", "false"));
    insert_cards();

    LogRecorder shown("Kivel");
    select_card("file:///media/mmc1");
    EXPECT_FALSE(format({}));
    EXPECT_TRUE(shown.contains("The memory card is in use and cannot be formatted"))
        << shown.text();
    EXPECT_FALSE(ulvo_fm_mmc_is_swap("file:///media/mmc2"));

    select_card("file:///media/mmc2");
    EXPECT_TRUE(format({Person::answers(GTK_RESPONSE_CANCEL)}));
    EXPECT_TRUE(service.calls().empty());

    service.refuse_with("in_use");
    std::string note;
    EXPECT_TRUE(format({Person::answers(GTK_RESPONSE_OK), [&](GtkWidget *dialog) {
                            note = ulvo_test::collect_label_text(dialog);
                            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
                        }}));
    EXPECT_NE(note.find("cannot be formatted"), std::string::npos) << note;
    std::vector<Call> calls = service.calls();
    ASSERT_EQ(calls.size(), 1u);
    expect_call(calls[0], "format", "('card2', '')");

    // Every other card follows the internal key; USB storage never swaps.
    ASSERT_TRUE(gconf_set("/system/ulvo/af/internal-mmc-swap", "bool", "true"));
    EXPECT_TRUE(ulvo_fm_mmc_is_swap("file:///media/mmc2"));
    EXPECT_FALSE(ulvo_fm_mmc_is_swap("file:///media/usb/stick"));
    EXPECT_FALSE(ulvo_fm_mmc_is_swap("drive:///dev/sda1"));
    ASSERT_TRUE(gconf_set("/system/ulvo/af/mmc-swap", "bool", "false"));
    EXPECT_FALSE(ulvo_fm_mmc_is_swap("file:///media/mmc1"));
}

TEST_F(FormatCardTest, TheConfirmationEndsWhenItsCardIsTakenOut)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    insert_cards();
    select_card("file:///media/mmc1");

    gint response = 0;
    EXPECT_TRUE(format({[&](GtkWidget *note) {
        g_signal_connect(note, "response", G_CALLBACK(+[](GtkDialog *, gint id, gpointer out) {
                             *static_cast<gint *>(out) = id;
                         }),
                         &response);
        // The other card going away changes nothing.
        ASSERT_EQ(0, umount("/media/mmc2"));
        ulvo_test::pump_for(300);
        ASSERT_EQ(response, 0);
        ASSERT_EQ(0, umount("/media/mmc1"));
    }}));
    EXPECT_EQ(response, GTK_RESPONSE_DELETE_EVENT);
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(FormatCardTest, NothingWithoutADeviceIsOfferedAndAFailureIsTold)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    insert_cards();
    const gchar *general = dcgettext("ulvo-backup", "back_fi_general_error", LC_MESSAGES);
    const gchar *failed =
        dcgettext("kivel-common-strings", "sfil_ni_operation_failed", LC_MESSAGES);

    // The documents folder is no card: no question about losing everything.
    LogRecorder shown("Kivel");
    select_card(ulvo_test::file_uri(ulvo_test::test_home() + "/MyDocs").c_str());
    EXPECT_FALSE(format({}));
    EXPECT_TRUE(shown.contains(general)) << shown.text();
    EXPECT_TRUE(service.calls().empty());

    select_card("file:///media/mmc1");
    service.refuse_with("busy");
    std::string note;
    EXPECT_TRUE(format({Person::answers(GTK_RESPONSE_OK), [&](GtkWidget *dialog) {
                            note = ulvo_test::collect_label_text(dialog);
                            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
                        }}));
    EXPECT_NE(note.find(failed), std::string::npos) << note;
    EXPECT_EQ(service.calls().size(), 1u);
}
