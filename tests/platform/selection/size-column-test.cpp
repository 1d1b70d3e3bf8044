// Sizes read the same in the content pane and in the details.
#include "platform/selection/dialog-helpers.h"
#include "platform/selection/kivel-file-details-dialog.h"
#include "platform/selection/selection-fixture.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <unistd.h>

using namespace ulvo_test;
using namespace selection_test;

namespace
{

class Sizes : public SelectionTest
{
  protected:
    void TearDown() override
    {
        if (dialog_)
            gtk_widget_destroy(dialog_);
        SelectionTest::TearDown();
    }

    // What the details dialog says of the size of the file at `path`.
    std::string details_size(const std::string &path)
    {
        if (dialog_)
            gtk_widget_destroy(dialog_);
        GtkTreeIter row;
        EXPECT_TRUE(kivel_file_system_model_load_path(model(), uri_of(path).c_str(), &row));
        dialog_ = kivel_file_details_dialog_new_with_model(nullptr, model());
        kivel_file_details_dialog_set_file_iter(dialog_, &row);
        return dialog_test::details_field(dialog_, "Size:");
    }

    GtkWidget *dialog_ = nullptr;
};

TEST_F(Sizes, TheSizeColumnReadsLikeTheDetails)
{
    std::string dir = folder("sizes");
    std::string big = dir + "/disk image", small = dir + "/note";
    int fd = g_open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(3) << 30), 0) << "a sparse file of 3 GiB";
    close(fd);
    write_file(small, std::string(1536, 'x'));
    build();
    enter(dir);
    ASSERT_TRUE(await_count(2));
    kivel_file_selection_set_column_headers(fs(), TRUE);

    EXPECT_EQ(column_text(2, row_of("disk image")), details_size(big));
    EXPECT_EQ(column_text(2, row_of("disk image")), "3.0 GB");
    EXPECT_EQ(column_text(2, row_of("note")), details_size(small));
    EXPECT_EQ(column_text(2, row_of("note")), "1.5 kB");
}

} // namespace
