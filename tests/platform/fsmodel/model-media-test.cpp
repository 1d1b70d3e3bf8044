// Memory cards and other media under /media. The test needs to mount file
// systems there, so it runs itself again in a private mount namespace with a
// tmpfs over /media, and skips where that is not permitted.
#include "platform/fsmodel/model-fixture.h"
#include "support/private-mounts.h"

#include <sys/mount.h>
#include <unistd.h>

using namespace model_test;
using ulvo_test::inside_private_mounts;
using ulvo_test::make_dir;
using ulvo_test::mount_tmpfs;
using ulvo_test::pump_until;
using ulvo_test::run_in_private_mounts;
using ulvo_test::write_file;

namespace
{

struct Mounted {
    std::vector<std::string> uris;
};

void on_voldev_mounted(KivelFileSystemModel *, const gchar *uri, gpointer data)
{
    static_cast<Mounted *>(data)->uris.push_back(uri ? uri : "(null)");
}

class ModelMedia : public ModelTest
{
  protected:
    void SetUp() override
    {
        // The model is made in the test body, once the mounts are in place.
    }
    void TearDown() override
    {
        if (tree_)
            g_object_unref(tree_);
    }
    void make_model()
    {
        ModelTest::SetUp();
        g_signal_connect(model_, "voldev-mounted", G_CALLBACK(on_voldev_mounted), &mounted_);
    }
    std::vector<std::string> top_level_uris()
    {
        std::vector<std::string> uris;
        GtkTreeIter row;
        for (bool ok = gtk_tree_model_get_iter_first(tree_, &row); ok;
             ok = gtk_tree_model_iter_next(tree_, &row))
            uris.push_back(string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_URI));
        return uris;
    }
    bool mounted(const std::string &uri)
    {
        for (const std::string &u : mounted_.uris)
            if (u == uri)
                return true;
        return false;
    }
    Mounted mounted_;
};

TEST_F(ModelMedia, CardsAndMediaFollowTheMountTable)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    make_dir("/media/mmc1");
    ASSERT_TRUE(mount_tmpfs("cardone", "/media/mmc1"));
    write_file("/media/mmc1/photo.jpg", "jpeg");
    make_dir("/media/mmc2");
    make_model();

    // The first card is there from the start; the second slot is an empty
    // folder and shows as a card too.
    std::vector<std::string> expected = {uri_of(docs_), "file:///media/mmc1", "file:///media/mmc2"};
    ASSERT_EQ(expected, top_level_uris());
    GtkTreeIter card;
    ASSERT_TRUE(find("file:///media/mmc1", &card));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_MMC,
              int_column(tree_, &card, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE));
    EXPECT_EQ("Memory card", string_column(tree_, &card, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
    EXPECT_EQ("cardone", string_column(tree_, &card, KIVEL_FILE_SYSTEM_MODEL_DEVICE));
    EXPECT_NE(0, int_column(tree_, &card, KIVEL_FILE_SYSTEM_MODEL_AVAILABLE));
    GtkTreeIter second;
    ASSERT_TRUE(find("file:///media/mmc2", &second));
    EXPECT_EQ("Second memory card",
              string_column(tree_, &second, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
    EXPECT_EQ("", string_column(tree_, &second, KIVEL_FILE_SYSTEM_MODEL_DEVICE));
    ASSERT_TRUE(load("/media/mmc1", &card));
    EXPECT_TRUE(has_child_named(&card, "photo.jpg"));
    EXPECT_TRUE(mounted_.uris.empty()) << "what is there at start is not announced";

    // A card put into the second slot is announced and gets its device.
    ASSERT_TRUE(mount_tmpfs("cardtwo", "/media/mmc2"));
    ASSERT_TRUE(pump_until([&] { return mounted("file:///media/mmc2"); }));
    ASSERT_TRUE(find("file:///media/mmc2", &second));
    EXPECT_EQ("cardtwo", string_column(tree_, &second, KIVEL_FILE_SYSTEM_MODEL_DEVICE));

    // Other media under /media come after the cards, and go with their mount.
    make_dir("/media/usbstick");
    ASSERT_TRUE(mount_tmpfs("stick", "/media/usbstick"));
    ASSERT_TRUE(pump_until([&] { return mounted("file:///media/usbstick"); }));
    expected.push_back("file:///media/usbstick");
    EXPECT_EQ(expected, top_level_uris());
    GtkTreeIter stick;
    ASSERT_TRUE(find("file:///media/usbstick", &stick));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_MMC,
              int_column(tree_, &stick, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE));
    EXPECT_EQ("usbstick", string_column(tree_, &stick, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
    ASSERT_EQ(0, umount("/media/usbstick"));
    ASSERT_TRUE(pump_until([&] { return top_level_uris().size() == 3; }));

    // A card taken out stays listed, unavailable and empty.
    ASSERT_EQ(0, umount("/media/mmc1"));
    ASSERT_TRUE(pump_until([&] {
        return find("file:///media/mmc1", &card) &&
               int_column(tree_, &card, KIVEL_FILE_SYSTEM_MODEL_AVAILABLE) == 0;
    }));
    EXPECT_EQ(0, gtk_tree_model_iter_n_children(tree_, &card));
    EXPECT_EQ("", string_column(tree_, &card, KIVEL_FILE_SYSTEM_MODEL_DEVICE));
    GtkTreeIter photo;
    EXPECT_FALSE(find("file:///media/mmc1/photo.jpg", &photo));

    // Put back, it is announced again and can be read again.
    mounted_.uris.clear();
    ASSERT_TRUE(mount_tmpfs("cardone", "/media/mmc1"));
    ASSERT_TRUE(pump_until([&] { return mounted("file:///media/mmc1"); }));
    ASSERT_TRUE(find("file:///media/mmc1", &card));
    EXPECT_NE(0, int_column(tree_, &card, KIVEL_FILE_SYSTEM_MODEL_AVAILABLE));
    write_file("/media/mmc1/again.txt");
    ASSERT_TRUE(load("/media/mmc1", &card));
    EXPECT_TRUE(has_child_named(&card, "again.txt"));
}

TEST_F(ModelMedia, CardPutIntoAnOpenedSlotIsFollowed)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    make_dir("/media/mmc1");
    make_model();
    GtkTreeIter card;
    ASSERT_TRUE(load("/media/mmc1", &card));
    EXPECT_EQ(0, gtk_tree_model_iter_n_children(tree_, &card));
    int reads = 0;
    g_signal_connect_swapped(model_, "finished-loading", G_CALLBACK(+[](int *n) { ++*n; }), &reads);

    ASSERT_TRUE(mount_tmpfs("cardone", "/media/mmc1"));
    ASSERT_TRUE(pump_until([&] { return mounted("file:///media/mmc1") && reads > 0; }));
    ASSERT_TRUE(find("file:///media/mmc1", &card));
    // What is written on the card shows, not what happens under it.
    write_file("/media/mmc1/written.txt");
    EXPECT_TRUE(pump_until([&] { return has_child_named(&card, "written.txt"); }));
}

} // namespace
