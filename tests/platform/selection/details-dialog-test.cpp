// The file details dialog over a real model: what it shows of a real file,
// and how it follows the file as it changes and goes.
#include "platform/selection/dialog-helpers.h"
#include "platform/fsmodel/model-fixture.h"
#include "platform/selection/kivel-file-details-dialog.h"

#include <glib/gstdio.h>
#include <sys/stat.h>
#include <utime.h>

using namespace ulvo_test;
using namespace model_test;

namespace
{

class Details : public ModelTest
{
  protected:
    void TearDown() override
    {
        if (dialog_)
            gtk_widget_destroy(dialog_);
        ModelTest::TearDown();
    }

    // Opens the dialog on the file `name` of ~/MyDocs.
    void open(const std::string &name)
    {
        GtkTreeIter folder, row;
        ASSERT_TRUE(load(docs_, &folder));
        ASSERT_TRUE(find(uri_of(docs_ + "/" + name), &row));
        dialog_ = kivel_file_details_dialog_new_with_model(nullptr, model_);
        ASSERT_TRUE(GTK_IS_DIALOG(dialog_));
        kivel_file_details_dialog_set_file_iter(dialog_, &row);
        gtk_widget_show(dialog_);
    }

    // The value beside the field title `title` (e.g. "Size:").
    std::string field(const std::string &title) const
    {
        return dialog_test::details_field(dialog_, title);
    }
    // Whether a label reading `text` shows.
    bool shows(const std::string &text) const { return showing_label(dialog_, text); }

  private:
    static bool showing_label(GtkWidget *widget, const std::string &text)
    {
        if (!gtk_widget_get_visible(widget))
            return false;
        if (GTK_IS_LABEL(widget) && text == gtk_label_get_text(GTK_LABEL(widget)))
            return true;
        bool found = false;
        if (GTK_IS_CONTAINER(widget)) {
            GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
            for (GList *l = children; l && !found; l = l->next)
                found = showing_label(GTK_WIDGET(l->data), text);
            g_list_free(children);
        }
        return found;
    }

  protected:
    GtkWidget *dialog_ = nullptr;
};

TEST_F(Details, ShowsTheNameTypeSizeDateAndPermissionsOfARealFile)
{
    std::string path = docs_ + "/notes.txt";
    write_file(path, "hello world");
    struct tm when = {};
    when.tm_year = 2001 - 1900;
    when.tm_mon = 1;
    when.tm_mday = 3;
    when.tm_hour = 4;
    when.tm_min = 5;
    when.tm_sec = 6;
    when.tm_isdst = -1;
    struct utimbuf times = {mktime(&when), mktime(&when)};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    open("notes.txt");

    EXPECT_EQ(field("Name:"), "notes.txt");
    gchar *description = g_content_type_get_description("text/plain");
    EXPECT_EQ(field("Type:"), description);
    g_free(description);
    GtkTreeIter docs;
    ASSERT_TRUE(find(uri_of(docs_), &docs));
    EXPECT_EQ(field("Location:"), string_column(tree_, &docs, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME))
        << "the folder that holds it";
    EXPECT_EQ(field("Size:"), "11 B");
    char expected_date[64];
    strftime(expected_date, sizeof expected_date, "%x %X", &when);
    EXPECT_EQ(field("Modified:"), expected_date);
    EXPECT_EQ(field("Read-only:"), "No");
    EXPECT_TRUE(pump_until([&] { return field("Permissions:") == "rw-r-----"; }))
        << field("Permissions:");
    EXPECT_TRUE(find_button(dialog_, "Close"));
}

TEST_F(Details, FollowsTheFileWhenItChangesOnDiskAndSaysWhenItIsGone)
{
    std::string path = docs_ + "/log.txt";
    write_file(path, "x");
    open("log.txt");
    EXPECT_EQ(field("Size:"), "1 B");

    write_file(path, std::string(1536, 'x'));
    EXPECT_TRUE(pump_until([&] { return field("Size:") == "1.5 kB"; })) << field("Size:");

    // Replaced by a new file of that name: the dialog follows the new one.
    std::string other = docs_ + "/log.new";
    write_file(other, std::string(3 * 1024 * 1024, 'y'));
    ASSERT_EQ(g_rename(other.c_str(), path.c_str()), 0);
    EXPECT_TRUE(pump_until([&] { return field("Size:") == "3.0 MB"; })) << field("Size:");

    EXPECT_FALSE(shows("This item is no longer available"));
    ASSERT_EQ(g_unlink(path.c_str()), 0);
    EXPECT_TRUE(pump_until([&] { return shows("This item is no longer available"); }));
}

} // namespace
