// Opening the selection: files go to the default application of their type,
// registered here through desktop files, folders are entered, and vanished
// items are said.
#include "notices-fixture.h"

#include "platform/services/kivel-mime.h"
#include "ui/open.h"

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace notices_test;
using selection_record_test::uri_of;
using ulvo_test::LogRecorder;
using ulvo_test::write_file;

namespace
{

std::string read_text(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every launch of a test application, one file per launch: its name, the
// XDG_DATA_HOME and LANGUAGE it got, then its arguments, a line each.
std::vector<std::string> launches(const std::string &dir)
{
    std::vector<std::string> out;
    GDir *d = g_dir_open(dir.c_str(), 0, nullptr);
    if (!d)
        return out;
    while (const gchar *name = g_dir_read_name(d))
        if (!g_str_has_suffix(name, ".part"))
            out.push_back(read_text(dir + "/" + name));
    g_dir_close(d);
    std::sort(out.begin(), out.end());
    return out;
}

// A variable as this process had it when it was started, before anything
// in it changed its environment.
std::string variable_at_exec(const std::string &name)
{
    std::string environ = read_text("/proc/self/environ");
    std::string prefix = name + "=";
    for (size_t at = 0; at < environ.size(); at = environ.find('\0', at) + 1) {
        if (environ.compare(at, prefix.size(), prefix) == 0)
            return environ.c_str() + at + prefix.size();
        if (environ.find('\0', at) == std::string::npos)
            break;
    }
    return "unset";
}

class OpenTest : public NoticesTest
{
  protected:
    void SetUp() override
    {
        // Registered before anything asks GIO about applications.
        const std::string home = ulvo_test::test_home();
        launch_dir = home + "/launches";
        ulvo_test::make_dir(launch_dir);
        std::string script = home + "/record.sh";
        write_file(script, "#!/bin/sh\n"
                           "name=$1; shift\n"
                           "out=" +
                               launch_dir +
                               "/$name.$$\n"
                               "{ echo $name; echo \"XDG_DATA_HOME=${XDG_DATA_HOME-unset}\";\n"
                               "  echo \"LANGUAGE=${LANGUAGE-unset}\";\n"
                               "  for a in \"$@\"; do echo \"$a\"; done; } > $out.part\n"
                               "mv $out.part $out\n");
        std::string apps = home + "/.local/share/applications/";
        write_file(apps + "ulvo-test-viewer.desktop",
                   "[Desktop Entry]\nType=Application\nName=Test viewer\n"
                   "Exec=/bin/sh " +
                       script + " viewer %F\nMimeType=image/png;\n");
        write_file(apps + "ulvo-test-editor.desktop",
                   "[Desktop Entry]\nType=Application\nName=Test editor\n"
                   "Exec=/bin/sh " +
                       script + " editor %F\nMimeType=text/plain;\n");
        write_file(apps + "mimeapps.list", "[Default Applications]\n"
                                           "image/png=ulvo-test-viewer.desktop\n"
                                           "text/plain=ulvo-test-editor.desktop\n");
        NoticesTest::SetUp();
    }

    // Waits for `count` launches and gives a wrong extra one time to show.
    std::vector<std::string> await_launches(size_t count)
    {
        EXPECT_TRUE(ulvo_test::pump_until([&] { return launches(launch_dir).size() >= count; }))
            << launches(launch_dir).size() << " launches";
        ulvo_test::pump_until([&] { return launches(launch_dir).size() > count; }, 300);
        return launches(launch_dir);
    }

    std::string launch_dir;
};

} // namespace

TEST_F(OpenTest, FilesOfOneTypeGoToItsApplicationInSelectionOrder)
{
    // Sizes put the files in an order that is not their names' order.
    write_file(docs + "/Trip/a.png", "aa");
    write_file(docs + "/Trip/b.png", "bbb");
    write_file(docs + "/Trip/c.png", "c");
    write_file(docs + "/Trip/notes.txt", "notes");
    ulvo_test::make_dir(docs + "/Trip/Day one");
    enter(docs + "/Trip", 5);
    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_SIZE, GTK_SORT_ASCENDING);
    select_only({docs + "/Trip/a.png", docs + "/Trip/b.png", docs + "/Trip/c.png",
                 docs + "/Trip/notes.txt", docs + "/Trip/Day one"});
    LogRecorder shown("Kivel");

    invoke_application(global_ofm);
    // The test's main set XDG_DATA_HOME before start-up; start-up then
    // added English to LANGUAGE for the window's own texts only.
    std::string env = "XDG_DATA_HOME=" + ulvo_test::test_home() +
                      "/.local/share\nLANGUAGE=" + variable_at_exec("LANGUAGE") + "\n";
    std::vector<std::string> seen = await_launches(1);
    ASSERT_EQ(seen.size(), 1u) << "one application, once";
    EXPECT_EQ(seen[0], "viewer\n" + env + docs + "/Trip/c.png\n" + docs + "/Trip/a.png\n" + docs +
                           "/Trip/b.png\n");
    EXPECT_EQ(shown.text(), "") << "the text file is left out without a word";

    select_only({docs + "/Trip/notes.txt"});
    invoke_application(global_ofm);
    seen = await_launches(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "editor\n" + env + docs + "/Trip/notes.txt\n");
}

TEST_F(OpenTest, ProgramsGetTheEnvironmentTheFileManagerWasStartedWith)
{
    std::string dir = docs + "/Trip";
    write_file(dir + "/a.png", "a");
    enter(dir, 1);
    select_only({dir + "/a.png"});
    // GIO has read where the applications are before the variable moves.
    GAppInfo *viewer = g_app_info_get_default_for_type("image/png", FALSE);
    ASSERT_TRUE(viewer);
    g_object_unref(viewer);

    // Started without it: the program sets it for itself only.
    g_unsetenv("XDG_DATA_HOME");
    g_setenv("LANGUAGE", "fi", TRUE);
    kivel_mime_keep_launch_environment();
    g_setenv("XDG_DATA_HOME", "/usr/share", FALSE);
    g_setenv("LANGUAGE", "fi:en", TRUE);
    invoke_application(global_ofm);
    std::vector<std::string> seen = await_launches(1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "viewer\nXDG_DATA_HOME=unset\nLANGUAGE=fi\n" + dir + "/a.png\n");

    // Started with one: a later change inside the program does not reach it.
    g_setenv("XDG_DATA_HOME", "/srv/person/data", TRUE);
    g_unsetenv("LANGUAGE");
    kivel_mime_keep_launch_environment();
    g_setenv("XDG_DATA_HOME", "/usr/share", TRUE);
    g_setenv("LANGUAGE", "en", TRUE);
    invoke_application(global_ofm);
    seen = await_launches(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_NE(
        std::find(seen.begin(), seen.end(),
                  "viewer\nXDG_DATA_HOME=/srv/person/data\nLANGUAGE=unset\n" + dir + "/a.png\n"),
        seen.end())
        << seen[0] << seen[1];
}

TEST_F(OpenTest, VanishedItemsAreSaidAndNothingOpens)
{
    std::string dir = docs + "/Trip";
    write_file(dir + "/gone.png", "g");
    ulvo_test::make_dir(dir + "/Gone");
    enter(dir, 2);
    select_only({dir + "/gone.png"});
    ASSERT_EQ(g_unlink((dir + "/gone.png").c_str()), 0);

    std::string note;
    bool tapped = false;
    when_dialog_shows([&](GtkWidget *dialog) {
        note = ulvo_test::collect_label_text(dialog);
        tapped = click(dialog, "OK");
    });
    invoke_application(global_ofm);
    EXPECT_NE(note.find("Unable to open. The file was not found."), std::string::npos) << note;
    EXPECT_TRUE(tapped);

    LogRecorder shown("Kivel");
    select_only({dir + "/Gone"});
    ASSERT_EQ(g_rmdir((dir + "/Gone").c_str()), 0);
    invoke_application(global_ofm);
    EXPECT_TRUE(shown.contains("banner: Unable to open. The folder was not found."))
        << shown.text();
    gchar *current = kivel_file_selection_get_current_folder_uri(fs());
    EXPECT_EQ(std::string(current), uri_of(dir)) << "no navigation";
    g_free(current);
    EXPECT_TRUE(launches(launch_dir).empty());
}

TEST_F(OpenTest, FoldersAreEnteredFromTheContentPaneOnly)
{
    std::string dir = docs + "/Trip";
    ulvo_test::make_dir(dir + "/Alpha/Inner");
    ulvo_test::make_dir(dir + "/Beta");
    enter(dir, 2);
    auto current = [&] {
        gchar *uri = kivel_file_selection_get_current_folder_uri(fs());
        std::string out = uri ? uri : "";
        g_free(uri);
        return out;
    };

    select_only({dir + "/Alpha", dir + "/Beta"});
    invoke_application(global_ofm);
    EXPECT_EQ(current(), uri_of(dir + "/Alpha")) << "two folders: the first one";

    ASSERT_TRUE(
        ulvo_test::pump_until([&] { return kivel_file_selection_get_content_count(fs()) == 1; }));
    g_object_set(fs(), "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    select_only({dir + "/Alpha/Inner"});
    invoke_application(global_ofm);
    EXPECT_EQ(current(), uri_of(dir + "/Alpha/Inner"));

    g_object_set(fs(), "active-pane", KIVEL_FILE_SELECTION_PANE_NAVIGATION, NULL);
    invoke_application(global_ofm);
    EXPECT_EQ(current(), uri_of(dir + "/Alpha/Inner")) << "the current folder stays";
}
