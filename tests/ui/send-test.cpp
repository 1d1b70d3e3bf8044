// Sending: the sharing dialog shows the selected files and hands them to the
// way chosen; folders are refused with a banner.
#include "notices-fixture.h"

#include "ui/send.h"

#include <fstream>
#include <sstream>

using namespace notices_test;
using ulvo_test::LogRecorder;
using ulvo_test::write_file;

namespace
{

// The rows of the first tree view inside `widget`, a line each.
std::string tree_rows(GtkWidget *widget)
{
    if (GTK_IS_TREE_VIEW(widget)) {
        std::string out;
        GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(widget));
        GtkTreeIter iter;
        for (gboolean ok = gtk_tree_model_get_iter_first(model, &iter); ok;
             ok = gtk_tree_model_iter_next(model, &iter)) {
            gchar *text = nullptr;
            gtk_tree_model_get(model, &iter, 0, &text, -1);
            out += std::string(text ? text : "") + "\n";
            g_free(text);
        }
        return out;
    }
    std::string out;
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *l = children; l && out.empty(); l = l->next)
            out = tree_rows(GTK_WIDGET(l->data));
        g_list_free(children);
    }
    return out;
}

class SendTest : public NoticesTest
{
  protected:
    void SetUp() override
    {
        NoticesTest::SetUp();
        dir = docs + "/Trip";
        write_file(dir + "/b.jpg", "bb");
        write_file(dir + "/c d.jpg", "c");
        write_file(dir + "/a.jpg", "aaa");
        ulvo_test::make_dir(dir + "/Day one");
        // A mail program of our own that tells what it was given.
        bin = ulvo_test::test_home() + "/bin";
        record = ulvo_test::test_home() + "/mail-args";
        write_file(bin + "/xdg-email", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " +
                                           record + ".part\nmv " + record + ".part " + record +
                                           "\n");
        g_chmod((bin + "/xdg-email").c_str(), 0755);
        enter(dir, 4);
    }

    std::string dir, bin, record;
};

} // namespace

TEST_F(SendTest, TheDialogListsTheSelectedFilesInOrderAndMailsThem)
{
    g_setenv("PATH", (bin + ":" + g_getenv("PATH")).c_str(), TRUE);
    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_SIZE, GTK_SORT_ASCENDING);
    select_only({dir + "/a.jpg", dir + "/c d.jpg"});

    std::string rows;
    GtkWindow *parent = nullptr;
    bool tapped = false;
    when_dialog_shows([&](GtkWidget *dialog) {
        rows = tree_rows(dialog);
        parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
        tapped = click(dialog, "Send by e-mail");
    });
    ulvo_fm_send_selection(global_ofm);
    EXPECT_EQ(rows, "c d.jpg\na.jpg\n") << "the files in selection order";
    EXPECT_EQ(parent, main_window());
    ASSERT_TRUE(tapped);
    ASSERT_TRUE(ulvo_test::pump_until([&] { return ulvo_test::path_exists(record); }));
    std::ifstream in(record);
    std::stringstream args;
    args << in.rdbuf();
    EXPECT_EQ(args.str(), "--attach\n" + dir + "/c d.jpg\n--attach\n" + dir + "/a.jpg\n");
}

TEST_F(SendTest, WithoutAWayToSendTheDialogSaysSoAndCloses)
{
    g_setenv("PATH", (ulvo_test::test_home() + "/nothing-here").c_str(), TRUE);
    select_only({dir + "/b.jpg"});
    std::string text;
    bool cancelled = false;
    when_dialog_shows([&](GtkWidget *dialog) {
        text = ulvo_test::collect_label_text(dialog);
        cancelled = click(dialog, "Cancel");
    });
    ulvo_fm_send_selection(global_ofm);
    EXPECT_NE(text.find("This device offers no way to send files."), std::string::npos) << text;
    EXPECT_EQ(text.find("Send by e-mail"), std::string::npos) << text;
    EXPECT_TRUE(cancelled);
}

TEST_F(SendTest, FoldersAreNotSent)
{
    LogRecorder shown("Kivel");
    bool opened = false;
    when_dialog_shows([&](GtkWidget *dialog) {
        opened = true;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    });

    select_only({dir + "/a.jpg", dir + "/b.jpg", dir + "/Day one"});
    ulvo_fm_send_selection(global_ofm);
    EXPECT_TRUE(shown.contains("banner: Folders cannot be sent")) << shown.text();

    kivel_file_selection_unselect_all(fs());
    ulvo_fm_send_selection(global_ofm);
    const std::string banner = "banner: Folders cannot be sent";
    EXPECT_NE(shown.text().find(banner), shown.text().rfind(banner))
        << "the current folder stands in: " << shown.text();
    ulvo_test::pump_for(100);
    EXPECT_FALSE(opened) << "no sharing dialog for folders";
}
