// Picking an application: the list comes from the desktop entries on disk,
// and the choice reaches the application and the task navigator.
#include "app/browser-fixture.h"
#include "model/paths.h"
#include "support/fake-bus-service.h"
#include "support/private-mounts.h"
#include "ui/app-chooser.h"

#include <functional>

using namespace browser_test;
using ulvo_test::write_file;

namespace
{

std::string entry(const std::string &name, const std::string &service)
{
    std::string text = "[Desktop Entry]\nType=Application\n";
    if (!name.empty())
        text += "Name=" + name + "\n";
    if (!service.empty())
        text += "X-Ulvo-Service=" + service + "\n";
    return text;
}

std::vector<std::string> titles(GtkWidget *tree_view)
{
    std::vector<std::string> out;
    gtk_tree_model_foreach(
        gtk_tree_view_get_model(GTK_TREE_VIEW(tree_view)),
        [](GtkTreeModel *model, GtkTreePath *, GtkTreeIter *iter, gpointer data) -> gboolean {
            gchar *title = nullptr;
            gtk_tree_model_get(model, iter, 0, &title, -1);
            static_cast<std::vector<std::string> *>(data)->push_back(title ? title : "");
            g_free(title);
            return FALSE;
        },
        &out);
    return out;
}

GtkWidget *find_tree_view(GtkWidget *dialog)
{
    return ulvo_test::find_descendant(dialog, GTK_TYPE_TREE_VIEW);
}

// Runs the chooser for `uris` and hands its dialog to `act` once it shows.
void run_chooser(GSList *uris, const std::function<void(GtkWidget *)> &act)
{
    struct Driver {
        const std::function<void(GtkWidget *)> *act;
    } driver{&act};
    guint id = gdk_threads_add_timeout(
        20,
        [](gpointer data) -> gboolean {
            GtkWidget *dialog = ulvo_test::find_showing_dialog();
            if (!dialog || !gtk_widget_get_mapped(dialog))
                return TRUE;
            (*static_cast<Driver *>(data)->act)(dialog);
            return FALSE;
        },
        &driver);
    ulvo_fm_show_application_chooser(global_ofm, uris);
    g_source_remove(id);
}

} // namespace

TEST(AppChooser, ListsTheEntriesByTitleAndSendsThePickToTheApplication)
{
    if (!ulvo_test::inside_private_mounts()) {
        ulvo_test::run_in_private_mounts();
        return;
    }
    if (!ulvo_test::mount_tmpfs("applications", "/usr/share/applications"))
        GTEST_SKIP() << "cannot mount a tmpfs over /usr/share/applications";
    const std::string dir = ULVO_FM_APPLICATIONS_DIR;
    ulvo_test::make_dir(dir + "/extra/deeper");
    write_file(dir + "/zeta.desktop", entry("Zeta viewer", "zeta"));
    // Found in a subfolder and read from there, whatever its suffix after ".desktop".
    write_file(dir + "/extra/deeper/alpha.desktop.orig",
               entry("Alpha player", "org.example.Alpha"));
    write_file(dir + "/extra/middle.desktop", entry("Middle editor", "middle"));
    write_file(dir + "/nameless.desktop", entry("", "nameless"));
    write_file(dir + "/serviceless.desktop", entry("Serviceless", ""));
    write_file(dir + "/broken.desktop", entry("Broken", "org.example.my-viewer"));
    write_file(dir + "/notes.txt", entry("Notes", "notes"));

    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    ulvo_test::FakeBusService fake({"com.kavra.tasknav", "org.example.Alpha"});
    ASSERT_TRUE(fake.owns_all());

    std::string one = file_uri(docs_dir() + "/one.xyz");
    std::string two = file_uri(docs_dir() + "/two words.xyz");
    GSList *uris =
        g_slist_append(g_slist_append(nullptr, g_strdup(one.c_str())), g_strdup(two.c_str()));

    // Closing the dialog sends nothing; the calls below are then the only ones.
    std::vector<std::string> shown;
    run_chooser(uris, [&](GtkWidget *dialog) {
        shown = titles(find_tree_view(dialog));
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
    });
    EXPECT_EQ(shown, (std::vector<std::string>{"Alpha player", "Middle editor", "Zeta viewer"}));
    EXPECT_EQ(ulvo_test::find_showing_dialog(), nullptr);

    run_chooser(uris, [&](GtkWidget *dialog) {
        GtkTreePath *first = gtk_tree_path_new_first();
        gtk_tree_view_row_activated(
            GTK_TREE_VIEW(find_tree_view(dialog)), first,
            gtk_tree_view_get_column(GTK_TREE_VIEW(find_tree_view(dialog)), 0));
        gtk_tree_path_free(first);
    });
    EXPECT_EQ(ulvo_test::find_showing_dialog(), nullptr);
    ASSERT_TRUE(ulvo_test::pump_until([&] { return fake.calls().size() >= 2; }));
    EXPECT_EQ(fake.calls(),
              (std::vector<std::string>{
                  "org.example.Alpha /org/example/Alpha org.example.Alpha mime_open [no-reply] " +
                      one + " " + two,
                  "com.kavra.tasknav /com/kavra/tasknav/app_launch_banner "
                  "com.kavra.tasknav.app_launch_banner app_launch_banner org.example.Alpha"}));
    ulvo_fm_free_texturi_list(uris);
}

TEST(AppChooser, ServiceAddresses)
{
    gchar *name = nullptr, *path = nullptr;
    ASSERT_TRUE(ulvo_fm_app_service_address("viewer", &name, &path));
    EXPECT_STREQ(name, "com.kavra.viewer");
    EXPECT_STREQ(path, "/com/kavra/viewer");
    g_free(name);
    g_free(path);
    ASSERT_TRUE(ulvo_fm_app_service_address("org.example.Viewer", &name, &path));
    EXPECT_STREQ(name, "org.example.Viewer");
    EXPECT_STREQ(path, "/org/example/Viewer");
    g_free(name);
    g_free(path);
    // Values that would make malformed messages are refused, not sent.
    for (const char *bad : {"my viewer", "org..Viewer", "org.example.my-viewer", ".x", "x."})
        EXPECT_FALSE(ulvo_fm_app_service_address(bad, &name, &path)) << bad;
}
