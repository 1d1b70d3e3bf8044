// Renaming from the menu on real files: taken names bring the dialog back,
// bad names are refused and lose nothing, letter case alone may change, the
// special folders' names stay theirs, read-only items stay as they are.
#include "naming/rename-fixture.h"
#include "support/private-mounts.h"
#include "vfs/glib-ptr.h"

#include <sys/mount.h>

using namespace rename_test;
using selection_record_test::uri_of;

TEST_F(RenameTest, TakenNamesBringTheDialogBackAndTheRenamedItemStaysSelected)
{
    write_file(folder + "/a.jpg", jpeg("a"));
    write_file(folder + "/b.jpg", jpeg("b"));
    ulvo_test::make_dir(folder + "/album");
    enter(folder, 3);
    LogRecorder log("Kivel");

    rename_item(folder + "/a.jpg", {{"b.jpg"}, {"album"}, {"c.jpg"}});

    EXPECT_EQ(person.shown, 3u);
    EXPECT_TRUE(log.contains("banner: " + text("kivel-common-strings", "ckdg_ib_image_exists")))
        << log.text();
    EXPECT_TRUE(
        log.contains("banner: " + text("kivel-common-strings", "ckdg_ib_folder_already_exists")));
    ASSERT_FALSE(person.titles.empty());
    EXPECT_EQ(person.titles[0], text("kivel-libs", "ckdg_ti_rename_image"));
    EXPECT_EQ(person.offered[0], "a.jpg");
    EXPECT_EQ(read_file(folder + "/b.jpg"), jpeg("b"));
    EXPECT_EQ(read_file(folder + "/c.jpg"), jpeg("a"));
    EXPECT_FALSE(path_exists(folder + "/a.jpg"));
    EXPECT_FALSE(log.contains("note: ")) << "a rename shows no progress note: " << log.text();
    EXPECT_TRUE(selected_only(folder + "/c.jpg"));
}

TEST_F(RenameTest, NamesWithASlashOnlyDotsOrNothingAreRefusedAndLoseNothing)
{
    write_file(folder + "/notes.txt", "keep");
    enter(folder, 1);
    LogRecorder log("Kivel");

    rename_item(folder + "/notes.txt", {{"..."}, {"", {GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL}}});
    EXPECT_EQ(person.shown, 2u);
    EXPECT_TRUE(log.contains("banner: " + text("ulvo-filemanager", "sfil_ib_name_only_dots")))
        << log.text();
    EXPECT_TRUE(log.contains("banner: " + text("kivel-fm", "ckdg_ib_enter_name")));

    rename_item(folder + "/notes.txt", {{"x/y", {GTK_RESPONSE_CANCEL}}});
    ASSERT_EQ(person.typed.size(), 1u);
    EXPECT_EQ(person.typed[0], "xy") << "a slash cannot be typed";
    ulvo::GCharPtr slash(
        g_strdup_printf(text("kivel-fm", "ckdg_ib_illegal_characters_entered").c_str(), "/"));
    EXPECT_TRUE(log.contains(std::string("banner: ") + slash.get()));

    EXPECT_EQ(read_file(folder + "/notes.txt"), "keep");
    GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
    ASSERT_NE(dir, nullptr);
    EXPECT_STREQ(g_dir_read_name(dir), "notes.txt");
    EXPECT_EQ(g_dir_read_name(dir), nullptr) << "nothing else appeared";
    g_dir_close(dir);
}

TEST_F(RenameTest, LetterCaseAloneChangesButNeverOverAnotherFile)
{
    write_file(folder + "/Photo.jpg", jpeg("photo"));
    write_file(folder + "/Other.jpg", jpeg("other"));
    write_file(folder + "/other.jpg", jpeg("second"));
    enter(folder, 3);
    LogRecorder log("Kivel");

    rename_item(folder + "/Photo.jpg", {{"photo.jpg"}});
    EXPECT_EQ(person.shown, 1u);
    EXPECT_EQ(read_file(folder + "/photo.jpg"), jpeg("photo"));
    EXPECT_FALSE(path_exists(folder + "/Photo.jpg"));

    // Here the two spellings are two files: the other one is no old name.
    rename_item(folder + "/Other.jpg", {{"other.jpg"}});
    EXPECT_EQ(person.shown, 2u) << "the dialog comes back";
    EXPECT_TRUE(log.contains("banner: " + text("kivel-common-strings", "ckdg_ib_image_exists")));
    EXPECT_EQ(read_file(folder + "/Other.jpg"), jpeg("other"));
    EXPECT_EQ(read_file(folder + "/other.jpg"), jpeg("second"));
}

TEST_F(RenameTest, LetterCaseChangesOnAFileSystemThatIgnoresCase)
{
    if (!ulvo_test::inside_private_mounts()) {
        ulvo_test::run_in_private_mounts();
        return;
    }
    std::string card = folder + "/card";
    ulvo_test::make_dir(card);
    if (mount("card", card.c_str(), "tmpfs", 0, "size=1m,casefold") != 0)
        GTEST_SKIP() << "no file system that ignores case can be mounted here";
    write_file(card + "/Photo.jpg", jpeg("photo"));
    if (!path_exists(card + "/photo.jpg"))
        GTEST_SKIP() << "the mounted file system does not ignore case";
    enter(card, 1);

    rename_item(card + "/Photo.jpg", {{"photo.jpg"}});
    EXPECT_EQ(person.shown, 1u);
    GDir *dir = g_dir_open(card.c_str(), 0, nullptr);
    ASSERT_NE(dir, nullptr);
    EXPECT_STREQ(g_dir_read_name(dir), "photo.jpg");
    EXPECT_EQ(g_dir_read_name(dir), nullptr);
    g_dir_close(dir);
    EXPECT_EQ(read_file(card + "/photo.jpg"), jpeg("photo"));
}

TEST_F(RenameTest, SpecialFolderTitlesAreTakenInTheDocumentsFolderOnly)
{
    const std::string camera = text("kivel-fm", "sfil_li_folder_camera");
    ulvo_test::make_dir(folder + "/trips");
    ulvo_test::make_dir(docs + "/holiday");
    LogRecorder log("Kivel");
    enter(docs, 7); // the five special folders, "rename" and "holiday"

    rename_item(docs + "/holiday", {{camera}});
    EXPECT_EQ(person.shown, 2u) << "the dialog comes back";
    EXPECT_TRUE(
        log.contains("banner: " + text("kivel-common-strings", "ckdg_ib_folder_already_exists")))
        << log.text();
    EXPECT_TRUE(path_exists(docs + "/holiday"));
    EXPECT_FALSE(path_exists(docs + "/" + camera));

    enter(folder, 1);
    rename_item(folder + "/trips", {{camera}});
    EXPECT_EQ(person.shown, 1u);
    EXPECT_TRUE(g_file_test((folder + "/" + camera).c_str(), G_FILE_TEST_IS_DIR));
    EXPECT_FALSE(path_exists(folder + "/trips"));
}

TEST_F(RenameTest, AnItemInAReadOnlyFolderIsRefusedWhateverWasSelectedBefore)
{
    write_file(folder + "/free.txt", "free");
    std::string locked = folder + "/locked";
    write_file(locked + "/kept.txt", "kept");
    ASSERT_EQ(g_chmod(locked.c_str(), 0555), 0);
    enter(folder, 2);
    select_only({folder + "/free.txt"});
    refresh(1);
    enter(locked, 1);
    LogRecorder log("Kivel");

    rename_item(locked + "/kept.txt", {{"other.txt"}});

    EXPECT_EQ(person.shown, 0u) << "no dialog for what may not be renamed";
    EXPECT_TRUE(log.contains("banner: " + text("kivel-fm", "sfil_ib_renaming_not_allowed")))
        << log.text();
    EXPECT_EQ(read_file(locked + "/kept.txt"), "kept");
    EXPECT_FALSE(path_exists(locked + "/other.txt"));
    g_chmod(locked.c_str(), 0755);
}

TEST_F(RenameTest, TheDialogOffersTheShownNameUnderATitleForItsKind)
{
    write_file(folder + "/~sfil_li_folder_images", "some text");
    write_file(folder + "/~", "x");
    ulvo_test::make_dir(folder + "/box");
    enter(folder, 3);

    rename_item(folder + "/~sfil_li_folder_images", {});
    ASSERT_EQ(person.offered.size(), 1u);
    EXPECT_EQ(person.offered[0], text("kivel-fm", "sfil_li_folder_images"));
    EXPECT_EQ(person.titles[0], text("kivel-libs", "ckdg_ti_rename_document"));

    rename_item(folder + "/~", {});
    ASSERT_EQ(person.offered.size(), 1u);
    EXPECT_EQ(person.offered[0], "~");

    rename_item(folder + "/box", {});
    ASSERT_EQ(person.titles.size(), 1u);
    EXPECT_EQ(person.titles[0], text("kivel-libs", "ckdg_ti_rename_folder"));
    EXPECT_TRUE(path_exists(folder + "/~sfil_li_folder_images")) << "a cancel renames nothing";
}
