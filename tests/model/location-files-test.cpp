// Location answers that look at real files: read-only, existence, type.
#include "model/location.h"

#include "model-fixture.h"
#include "support/ui-test.h"
#include "vfs/vfs-result.h"

#include <gtest/gtest.h>
#include <unistd.h>

using model_test::set_mode;
using model_test::uri_of;
using ulvo_test::make_dir;
using ulvo_test::test_home;
using ulvo_test::write_file;

namespace
{

class LocationFilesTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        dir = test_home() + "/place";
        make_dir(dir);
    }
    // A file in `dir` with the given mode.
    std::string file(const std::string &name, mode_t mode)
    {
        std::string path = dir + "/" + name;
        write_file(path, "x");
        set_mode(path, mode);
        return path;
    }
    // A folder in `dir` with the given mode.
    std::string folder(const std::string &name, mode_t mode)
    {
        std::string path = dir + "/" + name;
        make_dir(path);
        set_mode(path, mode);
        return path;
    }
    bool readonly(const std::string &path, bool check_parent = false)
    {
        return ulvo_fm_uri_is_readonly(uri_of(path).c_str(), check_parent ? 1 : 0);
    }
    std::string dir;
};

} // namespace

TEST_F(LocationFilesTest, OwnersReadWithoutWriteIsReadOnly)
{
    EXPECT_TRUE(readonly(file("r.txt", 0444)));
    EXPECT_FALSE(readonly(file("rw.txt", 0644)));
    EXPECT_TRUE(readonly(folder("ro", 0555)));
    EXPECT_TRUE(readonly(folder("ro-noexec", 0444)));
    EXPECT_FALSE(readonly(folder("rw", 0755)));
}

TEST_F(LocationFilesTest, OnlyTheOwnersBitsCount)
{
    // Others may write, the owner may not: read-only.
    EXPECT_TRUE(readonly(file("owner-r.txt", 0466)));
    // The owner may write though others may not even read: writable.
    EXPECT_FALSE(readonly(file("owner-rw.txt", 0600)));
    // Write without read is not the read-only pattern.
    EXPECT_FALSE(readonly(file("owner-w.txt", 0200)));
}

TEST_F(LocationFilesTest, WithCheckParentOnlyTheFolderDecides)
{
    std::string ro_file = file("r.txt", 0444);
    EXPECT_FALSE(readonly(ro_file, true));

    std::string locked = folder("locked", 0755);
    write_file(locked + "/w.txt", "x");
    set_mode(locked, 0555);
    EXPECT_TRUE(readonly(locked + "/w.txt", true));
    EXPECT_FALSE(readonly(locked + "/w.txt", false));
}

TEST_F(LocationFilesTest, MissingLocationsAreReadOnlyUnlessTheirFolderDecides)
{
    std::string missing = dir + "/new-name.txt";
    EXPECT_TRUE(readonly(missing, false));
    EXPECT_FALSE(readonly(missing, true));

    std::string locked = folder("locked", 0555);
    EXPECT_TRUE(readonly(locked + "/new-name.txt", true));
}

TEST_F(LocationFilesTest, AFolderThatCannotBeExaminedIsReadOnly)
{
    ulvo_test::LogRecorder log("filemanager");
    EXPECT_TRUE(readonly(dir + "/gone/new.txt", true));
    EXPECT_TRUE(log.contains("Unable to determine readonly status")) << log.text();
}

TEST_F(LocationFilesTest, ServerAndDeviceRootsAreReadOnlyAndRemotePlacesWritable)
{
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("smb://server", 0));
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("smb://server/", 0));
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("obex://[00:11:22:33:44:55]", 1));
    // The scheme roots list servers and devices: nothing can be written there.
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("smb://", 0));
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("obex://", 1));
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("obex:///", 0));
    EXPECT_FALSE(ulvo_fm_uri_is_readonly("smb://server/share/dir", 0));
    EXPECT_FALSE(ulvo_fm_uri_is_readonly("obex://[00:11:22:33:44:55]/Phone", 0));
}

TEST_F(LocationFilesTest, MediaServersAndUnparsableUrisAreReadOnly)
{
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("upnpav://server/Music", 0));
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("upnpav://", 1));
    // The read-only rule reads the scheme with its case.
    EXPECT_FALSE(ulvo_fm_uri_is_readonly("UPNPAV://x", 0));
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("no scheme at all", 0));
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("file:///tmp/a%00b", 0));
    EXPECT_TRUE(ulvo_fm_uri_is_readonly("", 1));
}

TEST_F(LocationFilesTest, ExistenceAsksTheDisk)
{
    std::string present = file("here.txt", 0644);
    EXPECT_TRUE(ulvo_fm_uri_exists(uri_of(present).c_str()));
    EXPECT_FALSE(ulvo_fm_uri_exists(uri_of(dir + "/absent").c_str()));

    ulvo_test::LogRecorder log("filemanager");
    EXPECT_FALSE(ulvo_fm_uri_exists("::not a uri::"));
    EXPECT_TRUE(log.contains("ulvo_fm_uri_exists: assertion 'vfs_uri != NULL' failed"))
        << log.text();
}

TEST_F(LocationFilesTest, DirectoriesAndTypes)
{
    std::string sub = folder("sub", 0755);
    std::string plain = file("plain.txt", 0644);
    std::string link = dir + "/link-to-sub";
    ASSERT_EQ(0, symlink(sub.c_str(), link.c_str()));

    EXPECT_TRUE(ulvo_fm_is_texturi_directory(uri_of(sub).c_str()));
    EXPECT_FALSE(ulvo_fm_is_texturi_directory(uri_of(plain).c_str()));
    EXPECT_FALSE(ulvo_fm_is_texturi_directory(uri_of(dir + "/absent").c_str()));
    // Without following links a link is a link, not a folder.
    EXPECT_FALSE(ulvo_fm_is_texturi_directory(uri_of(link).c_str()));

    EXPECT_EQ(ULVO_VFS_FILE_TYPE_DIRECTORY, ulvo_fm_get_path_type(uri_of(sub).c_str()));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_REGULAR, ulvo_fm_get_path_type(uri_of(plain).c_str()));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_DIRECTORY, ulvo_fm_get_path_type(uri_of(link).c_str()));
    EXPECT_EQ(0, ulvo_fm_get_path_type(uri_of(dir + "/absent").c_str()));
    EXPECT_EQ(0, ulvo_fm_get_path_type("smb://server/share"));
}
