// The progress note follows the reports: the bar by bytes, the counter by
// file, no counter for one file, nothing for empty files, and no redraw
// between due updates.
#include "xfer-fixture.h"

using namespace xfer_app_test;

namespace
{

std::string description(XferData *cdata)
{
    gchar *value = nullptr;
    g_object_get(cdata->status_window, "description", &value, NULL);
    std::string out = value ? value : "";
    g_free(value);
    return out;
}

UlvoVfsXferProgressInfo copying(gulong index, gulong total, guint64 copied, guint64 bytes)
{
    UlvoVfsXferProgressInfo info = {};
    info.phase = ULVO_VFS_XFER_PHASE_COPYING;
    info.file_index = index;
    info.files_total = total;
    info.total_bytes_copied = copied;
    info.bytes_total = bytes;
    return info;
}

class ProgressNoteTest : public XferAppTest
{
  protected:
    void SetUp() override
    {
        XferAppTest::SetUp();
        cdata = g_new0(XferData, 1);
        cdata->kind = XFER_COPY;
        cdata->parent_window = main_window();
        cdata->progress_text = g_strdup("Copying");
        xfer_init(cdata);
        ASSERT_NE(cdata->status_window, nullptr);
    }

    void TearDown() override
    {
        if (cdata)
            xfer_cleanup(&cdata);
        XferAppTest::TearDown();
    }

    XferData *cdata = nullptr;
};

} // namespace

TEST_F(ProgressNoteTest, CounterAndBarFollowTheFiles)
{
    UlvoVfsXferProgressInfo info = copying(1, 3, 100, 1000);
    ulvo_fm_file_operations_progress_update(&info, cdata);
    EXPECT_EQ(description(cdata), "Copying 1/3");
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(cdata->progress_bar), 0.1);
    gint width = 0;
    gtk_widget_get_size_request(cdata->status_window, &width, nullptr);
    EXPECT_EQ(width, ulvo_fm_predict_progress_dialog_width_based_on_text(cdata->status_window,
                                                                         "Copying 1/3"));

    // Same file, a few percent more, right away: not due.
    info = copying(1, 3, 150, 1000);
    ulvo_fm_file_operations_progress_update(&info, cdata);
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(cdata->progress_bar), 0.1);

    // More than ten points more: due, the counter stays.
    info = copying(1, 3, 300, 1000);
    ulvo_fm_file_operations_progress_update(&info, cdata);
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(cdata->progress_bar), 0.3);
    EXPECT_EQ(description(cdata), "Copying 1/3");

    info = copying(3, 3, 310, 1000);
    ulvo_fm_file_operations_progress_update(&info, cdata);
    EXPECT_EQ(description(cdata), "Copying 3/3") << "a new file is always due";
}

TEST_F(ProgressNoteTest, OneFileHasNoCounterAndEmptyFilesNoUpdate)
{
    g_object_set(cdata->status_window, "description", "Copying", NULL);
    UlvoVfsXferProgressInfo info = copying(1, 1, 500, 1000);
    ulvo_fm_file_operations_progress_update(&info, cdata);
    EXPECT_EQ(description(cdata), "Copying");
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(cdata->progress_bar), 0.5);

    gtk_progress_bar_set_fraction(cdata->progress_bar, 0.0);
    info = copying(2, 4, 0, 0);
    ulvo_fm_file_operations_progress_update(&info, cdata);
    EXPECT_EQ(description(cdata), "Copying");
    EXPECT_DOUBLE_EQ(gtk_progress_bar_get_fraction(cdata->progress_bar), 0.0);
}

TEST_F(ProgressNoteTest, ARenameHasNoNoteAndReportsAfterTheEndAreRefused)
{
    auto *rename = g_new0(XferData, 1);
    rename->kind = XFER_RENAME;
    rename->parent_window = main_window();
    xfer_init(rename);
    EXPECT_EQ(rename->status_window, nullptr);
    xfer_cleanup(&rename);
    EXPECT_EQ(rename, nullptr);
    EXPECT_TRUE(global_ofm->xfer_callback_data_freed);

    UlvoVfsXferProgressInfo info = copying(1, 2, 1, 2);
    info.status = ULVO_VFS_XFER_PROGRESS_STATUS_VFSERROR;
    info.vfs_status = ULVO_VFS_ERROR_NO_SPACE;
    auto *handle = reinterpret_cast<UlvoVfsAsyncHandle *>(cdata);
    EXPECT_EQ(xfer_progress_callback(handle, &info, cdata), 1) << "ignored once freed";
    EXPECT_EQ(cdata->error_text, nullptr);
}
