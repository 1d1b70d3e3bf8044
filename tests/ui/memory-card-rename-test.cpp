// Renaming a memory card: the label typed is checked, then sent in upper
// case to the removable media service, whose refusal the user gets to see.
#include "memory-card-fixture.h"

using namespace memory_card_test;
using ulvo_test::LogRecorder;

namespace
{

class RenameCardTest : public MemoryCardTest
{
  protected:
    void SetUp() override
    {
        MemoryCardTest::SetUp();
        card = ulvo_test::test_home() + "/card";
        ulvo_test::write_file(card + "/photos/a.jpg", "jpeg");
        ulvo_test::write_file(card + "/notes.txt", "n");
        card_uri = ulvo_test::file_uri(card);
    }

    void rename(std::vector<Person::Step> steps, const std::string &uri = "")
    {
        Person person(std::move(steps));
        ulvo_fm_rename_mmc(global_ofm, (uri.empty() ? card_uri : uri).c_str(), "/dev/mmcblk0p1");
        EXPECT_TRUE(person.done()) << "the dialogs ended before every step was taken";
        EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    }

    std::string card, card_uri;
};

} // namespace

TEST_F(RenameCardTest, RefusedLabelsKeepTheDialogOpenUntilAGoodOneIsSentInUpperCase)
{
    LogRecorder shown("Kivel");
    rename({Person::types("card_1"), Person::types("café"), Person::types("a_b_c!!"),
            Person::types("photos"), Person::types("NOTES.TXT"), Person::types("   "),
            Person::types("my card 2")});

    EXPECT_NE(shown.text().find("Invalid characters: _\n"), std::string::npos) << shown.text();
    EXPECT_NE(shown.text().find("Invalid characters: é\n"), std::string::npos) << shown.text();
    EXPECT_NE(shown.text().find("Invalid characters: _!\n"), std::string::npos) << shown.text();
    EXPECT_TRUE(shown.contains("A file on the card already has this name")) << shown.text();
    EXPECT_TRUE(shown.contains("Enter a name")) << shown.text();

    std::vector<Call> calls = service.calls();
    ASSERT_EQ(calls.size(), 1u);
    expect_call(calls[0], "rename", "('/dev/mmcblk0p1', 'MY CARD 2')");
}

TEST_F(RenameCardTest, CancelSendsNothingAndAnInUseRefusalShowsItsNote)
{
    rename({Person::types("card_1"), Person::answers(GTK_RESPONSE_CANCEL)});
    EXPECT_TRUE(service.calls().empty());

    service.refuse_with("in_use");
    std::string note;
    LogRecorder log("filemanager");
    rename({Person::types("Holiday"), [&](GtkWidget *dialog) {
                note = ulvo_test::collect_label_text(dialog);
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
            }});
    EXPECT_NE(note.find("The memory card is in use"), std::string::npos) << note;
    EXPECT_TRUE(log.contains("Renaming MMC Error: in_use")) << log.text();
    ASSERT_EQ(service.calls().size(), 1u);
    EXPECT_EQ(service.calls()[0].args, "('/dev/mmcblk0p1', 'HOLIDAY')");

    // Any other refusal is told too: the card kept its old name.
    service.refuse_with("busy");
    note.clear();
    rename({Person::types("Holiday"), [&](GtkWidget *dialog) {
                note = ulvo_test::collect_label_text(dialog);
                gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
            }});
    EXPECT_NE(note.find(dcgettext("kivel-common-strings", "sfil_ni_operation_failed", LC_MESSAGES)),
              std::string::npos)
        << note;
}

TEST_F(RenameCardTest, TheLabelProposedIsTheCardNameCutToElevenBytesWithoutTrailingBlanks)
{
    std::string long_card = ulvo_test::test_home() + "/Summer and fall";
    ulvo_test::make_dir(long_card);
    std::string proposed;
    rename({[&](GtkWidget *dialog) {
               proposed = gtk_entry_get_text(GTK_ENTRY(first_entry(dialog)));
               gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
           }},
           ulvo_test::file_uri(long_card));
    EXPECT_EQ(proposed, "Summer and");
}

TEST(MemoryCardName, OffendingCharactersAreListedOnceInOrder)
{
    gchar *illegal = nullptr;
    EXPECT_TRUE(ulvo_fm_check_mmc_name("My Card 2", &illegal));
    EXPECT_EQ(illegal, nullptr);
    EXPECT_FALSE(ulvo_fm_check_mmc_name("a.b-c.dé_éx", &illegal));
    EXPECT_STREQ(illegal, ".-é_");
    g_free(illegal);
    EXPECT_FALSE(ulvo_fm_check_mmc_name("tab\tok?", nullptr));
}
