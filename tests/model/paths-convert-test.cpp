// Conversions between paths and text URIs, parents, lists and time spans.
#include "model/paths.h"

#include "model-fixture.h"

#include <gtest/gtest.h>

using model_test::AppModelTest;
using model_test::take;
using model_test::uri_of;

namespace
{

class PathsConvertTest : public AppModelTest
{
};

} // namespace

TEST_F(PathsConvertTest, TextUrisAndPathsMapOneToOne)
{
    std::string spaced = uri_of(docs + "/a b.txt");
    EXPECT_EQ(spaced, take(ulvo_fm_texturi_to_path(spaced.c_str())));
    EXPECT_EQ(spaced, take(ulvo_fm_path_to_texturi(spaced.c_str())));
    // Different spellings of one place give one path.
    std::string untidy = uri_of(docs) + "/./sub/../a%20b.txt";
    EXPECT_EQ(spaced, take(ulvo_fm_texturi_to_path(untidy.c_str())));
    EXPECT_EQ("smb://server/share", take(ulvo_fm_texturi_to_path("smb://server/share/")));
    EXPECT_EQ("(null)", take(ulvo_fm_texturi_to_path("no scheme")));

    GFile *file = g_file_new_for_path((docs + "/a b.txt").c_str());
    EXPECT_EQ(spaced, take(ulvo_fm_uri_to_path(file)));
    g_object_unref(file);
}

TEST_F(PathsConvertTest, ChildrenAreEscapedInTheirFolder)
{
    std::string folder = uri_of(docs);
    EXPECT_EQ(folder + "/a%20b.txt", take(ulvo_fm_make_path(folder.c_str(), "a b.txt")));
    EXPECT_EQ(folder + "/100%25.txt", take(ulvo_fm_make_path(folder.c_str(), "100%.txt")));
    EXPECT_EQ("(null)", take(ulvo_fm_make_path(folder.c_str(), "a/b")));
    EXPECT_EQ("(null)", take(ulvo_fm_make_path(KIVEL_FILE_SYSTEM_ROOT_URI, "x")));
}

TEST_F(PathsConvertTest, TheTwoParentsDifferAtTheTopLevel)
{
    ASSERT_TRUE(await_row(docs));
    std::string folder = uri_of(docs);
    std::string item = uri_of(docs + "/x");
    EXPECT_EQ(folder, take(ulvo_fm_texturi_get_parent(item.c_str())));
    EXPECT_EQ(folder, take(ulvo_fm_uri_get_dirname(item.c_str())));

    // The model puts the documents folder right under its virtual root; the
    // URI arithmetic knows only the disk.
    EXPECT_EQ(KIVEL_FILE_SYSTEM_ROOT_URI, take(ulvo_fm_get_parent(folder.c_str())));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_ROOT_URI, take(ulvo_fm_texturi_get_parent(folder.c_str())));
    EXPECT_EQ(uri_of(ulvo_test::test_home()), take(ulvo_fm_uri_get_dirname(folder.c_str())));
    EXPECT_EQ("(null)", take(ulvo_fm_get_parent(KIVEL_FILE_SYSTEM_ROOT_URI)));
}

TEST_F(PathsConvertTest, DirnameIsUriArithmetic)
{
    EXPECT_EQ("file:///home/user/MyDocs",
              take(ulvo_fm_uri_get_dirname("file:///home/user/MyDocs/x")));
    EXPECT_EQ("smb://server/", take(ulvo_fm_uri_get_dirname("smb://server/share")));
    EXPECT_EQ("(null)", take(ulvo_fm_uri_get_dirname("file:///")));
    EXPECT_EQ("(null)", take(ulvo_fm_uri_get_dirname("no scheme")));
}

TEST(PathsWithoutAppTest, ConversionsNeedTheApplicationsFileSystem)
{
    ASSERT_EQ(nullptr, global_ofm);
    ulvo_test::LogRecorder log("filemanager");
    EXPECT_EQ(nullptr, ulvo_fm_texturi_to_path("file:///tmp"));
    EXPECT_TRUE(log.contains(
        "ulvo_fm_texturi_to_path: assertion 'GTK_IS_FILE_SYSTEM (file_system)' failed"))
        << log.text();
    EXPECT_EQ(nullptr, ulvo_fm_texturi_get_parent("file:///tmp/x"));
}

TEST(PathsListTest, UriListsReleaseEveryObject)
{
    GFile *a = g_file_new_for_path("/tmp/a");
    GFile *b = g_file_new_for_path("/tmp/b");
    g_object_add_weak_pointer(G_OBJECT(a), reinterpret_cast<gpointer *>(&a));
    g_object_add_weak_pointer(G_OBJECT(b), reinterpret_cast<gpointer *>(&b));
    GSList *list = g_slist_append(nullptr, a);
    list = g_slist_append(list, nullptr);
    list = g_slist_append(list, b);

    ulvo_fm_unref_uri_list(list);
    EXPECT_EQ(nullptr, a);
    EXPECT_EQ(nullptr, b);
    EXPECT_EQ(3u, g_slist_length(list)) << "the cells stay the caller's";
    EXPECT_EQ(nullptr, list->data);
    g_slist_free(list);
}

TEST(PathsTimeTest, DifferencesInMicroseconds)
{
    GTimeVal start = {100, 900000};
    GTimeVal end = {102, 100000};
    EXPECT_EQ(1200000, timeval_diff(&end, &start));
    EXPECT_EQ(-1200000, timeval_diff(&start, &end));
    EXPECT_EQ(0, timeval_diff(&start, &start));

    GTimeVal limit = {1100, 900000};
    EXPECT_EQ(1000000000, timeval_diff(&limit, &start));
    GTimeVal beyond = {1101, 0};
    EXPECT_EQ(1 << 30, timeval_diff(&beyond, &start));
    EXPECT_EQ(-(1 << 30), timeval_diff(&start, &beyond));
    GTimeVal far = {G_MAXINT32, 0};
    EXPECT_EQ(1 << 30, timeval_diff(&far, &start));

    ulvo_test::LogRecorder log("filemanager");
    EXPECT_EQ(0, timeval_diff(nullptr, &start));
    EXPECT_TRUE(log.contains("timeval_diff: assertion 'end != NULL' failed")) << log.text();
    EXPECT_EQ(0, timeval_diff(&end, nullptr));
    EXPECT_TRUE(log.contains("timeval_diff: assertion 'start != NULL' failed"));
}
