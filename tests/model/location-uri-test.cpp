// Location kinds that are read from the text of a URI alone.
#include "model/location.h"

#include "support/ui-test.h"

#include <gtest/gtest.h>

TEST(LocationUriTest, SchemePrefixesFollowTheirOwnCaseRules)
{
    EXPECT_TRUE(ulvo_fm_uri_is_in_gateway("obex://[00:11:22:33:44:55]/Phone"));
    EXPECT_FALSE(ulvo_fm_uri_is_in_gateway("OBEX://[00:11:22:33:44:55]"));
    EXPECT_FALSE(ulvo_fm_uri_is_in_gateway("file:///obex://x"));

    EXPECT_TRUE(ulvo_fm_uri_is_in_media_server("upnpav://server/Music"));
    EXPECT_TRUE(ulvo_fm_uri_is_in_media_server("UPNPAV://x"));
    EXPECT_FALSE(ulvo_fm_uri_is_in_media_server("upnpav:/x"));

    EXPECT_TRUE(ulvo_fm_uri_is_in_samba_server("smb://server/share"));
    EXPECT_TRUE(ulvo_fm_uri_is_in_samba_server("SMB://SERVER"));
    EXPECT_FALSE(ulvo_fm_uri_is_in_samba_server("smbx://server"));
    EXPECT_FALSE(ulvo_fm_uri_is_in_samba_server("file:///home/smb://"));
}

TEST(LocationUriTest, MemoryCardsAreRecognisedWithoutRegardToCase)
{
    gint which = -1;
    EXPECT_TRUE(ulvo_fm_uri_is_in_mmc("file:///media/mmc1", &which));
    EXPECT_EQ(0, which);
    EXPECT_TRUE(ulvo_fm_uri_is_in_mmc("FILE:///MEDIA/MMC2/photos", &which));
    EXPECT_EQ(1, which);
    EXPECT_TRUE(ulvo_fm_uri_is_in_mmc("file:///media/mmc1/a/b.jpg", nullptr));

    which = 7;
    EXPECT_FALSE(ulvo_fm_uri_is_in_mmc("file:///media/mmc3/x", &which));
    EXPECT_FALSE(ulvo_fm_uri_is_in_mmc("file:///home/user/MyDocs", &which));
    EXPECT_FALSE(ulvo_fm_uri_is_in_mmc("file:///media/mmc", &which));
    EXPECT_EQ(7, which) << "a location off the cards leaves `which` alone";
}

TEST(LocationUriTest, AFolderNamedLikeACardIsNotOnTheCard)
{
    gint which = 5;
    EXPECT_FALSE(ulvo_fm_uri_is_in_mmc("file:///media/mmc10/x", &which));
    EXPECT_FALSE(ulvo_fm_uri_is_in_mmc("file:///media/mmc2backup", &which));
    EXPECT_EQ(5, which);
}

TEST(LocationUriTest, CardsFromTheFileLayerObject)
{
    GFile *card = g_file_new_for_path("/media/mmc2/DCIM");
    gint which = -1;
    EXPECT_TRUE(is_uri_in_mmc(card, &which));
    EXPECT_EQ(1, which);
    g_object_unref(card);

    GFile *home = g_file_new_for_path("/home/user/MyDocs");
    EXPECT_FALSE(is_uri_in_mmc(home, &which));
    g_object_unref(home);
}

TEST(LocationUriTest, RootsAreCountedBySlashes)
{
    EXPECT_TRUE(ulvo_fm_uri_is_root("file:///media/mmc1"));
    EXPECT_FALSE(ulvo_fm_uri_is_root("file:///media/mmc1/"));
    EXPECT_FALSE(ulvo_fm_uri_is_root("file:///media/mmc1/DCIM"));
    EXPECT_TRUE(ulvo_fm_uri_is_root("file:///home/user/MyDocs"));
    EXPECT_FALSE(ulvo_fm_uri_is_root("file:///home/user/MyDocs/"));
    EXPECT_FALSE(ulvo_fm_uri_is_root("file:///home/user"));
    EXPECT_TRUE(ulvo_fm_uri_is_root("smb://server/"));
    EXPECT_FALSE(ulvo_fm_uri_is_root("smb://server"));
    EXPECT_TRUE(ulvo_fm_uri_is_root("smb://server/share"));
    EXPECT_FALSE(ulvo_fm_uri_is_root("smb://server/share/dir"));
    EXPECT_TRUE(ulvo_fm_uri_is_root("obex://[00:11:22:33:44:55]/"));
}

TEST(LocationUriTest, SambaSharesHaveExactlyOneComponentAfterTheServer)
{
    EXPECT_TRUE(is_smb_share("smb://server/share"));
    EXPECT_TRUE(is_smb_share("smb://server/"));
    EXPECT_FALSE(is_smb_share("smb://server"));
    EXPECT_FALSE(is_smb_share("smb://server/share/dir"));
    EXPECT_FALSE(is_smb_share("smb://"));
    EXPECT_FALSE(is_smb_share("SMB://server/share"));
    EXPECT_FALSE(is_smb_share("file:///server/share"));
}

TEST(LocationUriTest, SchemeRootsAreVirtual)
{
    EXPECT_TRUE(is_texturi_virtual("upnpav://"));
    EXPECT_TRUE(is_texturi_virtual("obex:///"));
    EXPECT_TRUE(is_texturi_virtual("files:///"));
    EXPECT_FALSE(is_texturi_virtual("file:///home"));
    EXPECT_FALSE(is_texturi_virtual("smb://server"));
}

TEST(LocationUriTest, MissingArgumentsAreRefusedWithTheFailedCheck)
{
    ulvo_test::LogRecorder log("filemanager");
    gint which = 3;
    EXPECT_FALSE(ulvo_fm_uri_is_in_mmc(nullptr, &which));
    EXPECT_EQ(3, which);
    EXPECT_TRUE(log.contains("ulvo_fm_uri_is_in_mmc: assertion 'uri != NULL' failed"))
        << log.text();
    EXPECT_FALSE(ulvo_fm_uri_is_readonly(nullptr, 0));
    EXPECT_TRUE(log.contains("ulvo_fm_uri_is_readonly: assertion 'uri != NULL' failed"));
    EXPECT_FALSE(is_path_in_gateway(nullptr));
    EXPECT_TRUE(log.contains("is_path_in_gateway: assertion 'path != NULL' failed"));
    EXPECT_EQ(0, ulvo_fm_fs_get_path_type(nullptr, "file:///x"));
    EXPECT_TRUE(
        log.contains("ulvo_fm_fs_get_path_type: assertion 'KIVEL_IS_FILE_SELECTION(fs)' failed"));
}
