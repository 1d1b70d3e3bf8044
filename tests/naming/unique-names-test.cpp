// Extensions, automatic numbers and free numbered names on real folders.
#include "naming/unique-names.h"
#include "platform/toolkit/kivel-locale.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using ulvo_test::file_uri;
using ulvo_test::make_dir;
using ulvo_test::write_file;

namespace
{

std::string extension_of(const char *name)
{
    const gchar *extension = ulvo_fm_path_get_extension(name);
    return extension ? extension : "(none)";
}

struct Stripped {
    std::string base;
    int number;
};

Stripped strip(const char *name)
{
    int number = -1;
    gchar *base = autoname_remove_autonumber(name, &number);
    Stripped result = {base, number};
    g_free(base);
    return result;
}

class UniqueNames : public testing::Test
{
  protected:
    void SetUp() override
    {
        dir_ = ulvo_test::test_home() + "/target";
        make_dir(dir_);
    }
    void TearDown() override { g_slist_free_full(chosen_, g_object_unref); }

    // Numbers `texturi` against the targets chosen so far, then chooses it.
    std::string choose(const std::string &texturi, bool *renamed = nullptr)
    {
        gchar *text = g_strdup(texturi.c_str());
        gboolean changed = autorename_uri(&text, chosen_);
        if (renamed)
            *renamed = changed;
        chosen_ = g_slist_append(chosen_, g_file_new_for_uri(text));
        std::string result = text;
        g_free(text);
        return result;
    }

    std::string dir_;
    GSList *chosen_ = nullptr; // GFile*
};

TEST(Extensions, FollowTheGlobListAndTheTypeOfTheName)
{
    EXPECT_EQ(".tar.gz", extension_of("archive.tar.gz")) << "the longest glob wins";
    EXPECT_EQ(".gz", extension_of("notes.gz"));
    EXPECT_EQ(".JPG", extension_of("Photo.JPG"));
    EXPECT_EQ(".txt", extension_of("a.b.txt"));
    EXPECT_EQ("(none)", extension_of("README"));
    // Unknown types have no extension even with a dot.
    EXPECT_EQ("(none)", extension_of("holiday.2024"));
    EXPECT_EQ("(none)", extension_of("data.zzqqunknown"));
    // A hidden file's name is all name.
    EXPECT_EQ("(none)", extension_of(".txt"));

    const char *name = "Report.pdf";
    EXPECT_EQ(name + 6, ulvo_fm_path_get_extension(name)) << "a pointer into the name";

    ulvo_test::LogRecorder log("filemanager");
    EXPECT_EQ(nullptr, ulvo_fm_path_get_extension(nullptr));
    EXPECT_TRUE(log.contains("name != NULL")) << log.text();
}

TEST(Autonumbers, OnlyASpaceAndDigitsInParenthesesAtTheEnd)
{
    Stripped s = strip("Photo (2)");
    EXPECT_EQ("Photo", s.base);
    EXPECT_EQ(2, s.number);
    s = strip("Notes (12)");
    EXPECT_EQ("Notes", s.base);
    EXPECT_EQ(12, s.number);
    s = strip("Photo ()");
    EXPECT_EQ("Photo", s.base);
    EXPECT_EQ(0, s.number);

    for (const char *kept :
         {"Photo(2)", "Photo (2a)", "(2)", "Photo (2) ", "Photo", "", "Photo (12345678901)"}) {
        s = strip(kept);
        EXPECT_EQ(kept, s.base);
        EXPECT_EQ(-1, s.number) << kept << ": the number is left alone";
    }
    EXPECT_EQ(nullptr, autoname_remove_autonumber(nullptr, nullptr));
    gchar *no_number_wanted = autoname_remove_autonumber("Photo (3)", nullptr);
    EXPECT_STREQ("Photo", no_number_wanted);
    g_free(no_number_wanted);
}

TEST_F(UniqueNames, NumberedNamesAreFreeOnDiskAndAmongTheTargets)
{
    write_file(dir_ + "/Report.txt");
    write_file(dir_ + "/Report (1).txt");
    write_file(dir_ + "/Report (4).txt");
    std::string report = file_uri(dir_ + "/Report.txt");

    bool renamed = true;
    EXPECT_EQ(report, choose(report, &renamed));
    EXPECT_FALSE(renamed) << "nothing chosen yet";
    EXPECT_EQ(file_uri(dir_ + "/Report (2).txt"), choose(report, &renamed));
    EXPECT_TRUE(renamed);
    // Equal to a chosen target whatever the case.
    EXPECT_EQ(file_uri(dir_ + "/Report (3).txt"), choose(file_uri(dir_ + "/REPORT.TXT")));
    // "Report (2).txt" counts on from its own number, past what is taken.
    EXPECT_EQ(file_uri(dir_ + "/Report (5).txt"), choose(file_uri(dir_ + "/Report (2).txt")));
    EXPECT_EQ(file_uri(dir_ + "/Report (4).txt"), choose(file_uri(dir_ + "/Report (4).txt")));
    EXPECT_EQ(file_uri(dir_ + "/Report (6).txt"), choose(file_uri(dir_ + "/Report (4).txt")));

    // The same name spelled with other escapes is the same target.
    chosen_ = g_slist_append(chosen_, g_file_new_for_path((dir_ + "/a b&c.tar.gz").c_str()));
    EXPECT_EQ(file_uri(dir_ + "/a b&c (1).tar.gz"), choose("file://" + dir_ + "/a%20b%26c.tar.gz"));
}

TEST_F(UniqueNames, OtherSchemesKeepTheirDevice)
{
    std::string obex = "obex://[00:11:22:33:44:55]/Phone/Memo.txt";
    choose(obex);
    EXPECT_EQ("obex://[00:11:22:33:44:55]/Phone/Memo%20(1).txt", choose(obex));
    std::string share = "smb://server/share/Memo.txt";
    choose(share);
    EXPECT_EQ("smb://server/share/Memo%20(1).txt", choose(share));
}

TEST_F(UniqueNames, ANumberedLongNameStillFitsInBytes)
{
    std::string name = "a";
    while (name.size() < 255)
        name += "é"; // 2 bytes each: 255 in all
    std::string target = file_uri(dir_ + "/" + name);
    choose(target);
    std::string numbered = choose(target);
    gchar *short_name = g_path_get_basename(numbered.c_str());
    gchar *unescaped = g_uri_unescape_string(short_name, nullptr);
    ASSERT_NE(nullptr, unescaped);
    std::string result = unescaped;
    g_free(unescaped);
    g_free(short_name);
    EXPECT_LE(result.size(), 255u);
    EXPECT_GE(result.size(), 254u) << "cut no more than a character";
    EXPECT_TRUE(g_utf8_validate(result.c_str(), -1, nullptr));
    EXPECT_TRUE(g_str_has_suffix(result.c_str(), "é (1)")) << result;
}

TEST_F(UniqueNames, SourcesOfOneNameCopiedTogetherGetDistinctTargets)
{
    kivel_locale_prefer_english();
    GtkTreeModel *tree = kivel_file_system_model_new(nullptr);
    KivelFileSystemModel *model = KIVEL_FILE_SYSTEM_MODEL(tree);
    write_file(dir_ + "/photo.jpg");

    // The way a copy builds its targets: the model's free name first, then
    // a number past the targets chosen before.
    std::vector<std::string> targets;
    for (int i = 0; i < 3; i++) {
        gchar *text = g_strdup(file_uri(dir_ + "/photo.jpg").c_str());
        autorename_texturi(&text, model);
        autorename_uri(&text, chosen_);
        chosen_ = g_slist_append(chosen_, g_file_new_for_uri(text));
        targets.push_back(text);
        g_free(text);
    }
    EXPECT_EQ(file_uri(dir_ + "/photo (1).jpg"), targets[0]);
    EXPECT_EQ(file_uri(dir_ + "/photo (2).jpg"), targets[1]);
    EXPECT_EQ(file_uri(dir_ + "/photo (3).jpg"), targets[2]);

    // What the model cannot name is left as it was, with a warning.
    ulvo_test::LogRecorder log("filemanager");
    gchar *text = g_strdup("file:///");
    autorename_texturi(&text, model);
    EXPECT_STREQ("file:///", text);
    EXPECT_TRUE(log.contains("Not a name in a folder")) << log.text();
    g_free(text);
    g_object_unref(tree);
}

TEST(HomeFolders, OnlyTheDirectChildOfHome)
{
    std::string docs = file_uri(ulvo_test::test_home() + "/MyDocs");
    EXPECT_TRUE(is_path_from_home(docs.c_str(), "MyDocs"));
    EXPECT_TRUE(is_path_from_home((docs + "/").c_str(), "MyDocs"));
    EXPECT_FALSE(is_path_from_home((docs + "/sub").c_str(), "MyDocs"));
    EXPECT_FALSE(is_path_from_home((docs + "/MyDocs").c_str(), "MyDocs"));
    EXPECT_FALSE(is_path_from_home(docs.c_str(), "Other"));
    EXPECT_FALSE(is_path_from_home("file:///MyDocs", "MyDocs"));

    ulvo_test::LogRecorder log("filemanager");
    EXPECT_FALSE(is_path_from_home(nullptr, "MyDocs"));
    EXPECT_TRUE(log.contains("path != NULL")) << log.text();
}

} // namespace
