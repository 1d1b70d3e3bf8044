// New folder: the name typed in the dialog becomes a folder of the folder
// shown, with its view settings; names taken, places where no folder can be
// made and failures of the medium say why.
#include "app/browser-fixture.h"
#include "app/ulvo-fm-app.h"
#include "naming/new-folder.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "settings/folder-state.h"
#include "support/pointer.h"
#include "support/private-mounts.h"

#include <glib/gstdio.h>
#include <sys/mount.h>
#include <functional>
#include <vector>

using namespace browser_test;
using ulvo_test::LogRecorder;
using ulvo_test::pump_until;

namespace
{

GtkWidget *find_entry(GtkWidget *widget)
{
    if (GTK_IS_ENTRY(widget))
        return gtk_widget_get_visible(widget) ? widget : nullptr;
    GtkWidget *found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *l = children; l && !found; l = l->next)
            found = find_entry(GTK_WIDGET(l->data));
        g_list_free(children);
    }
    return found;
}

// One thing a person does to a dialog on the screen; false while it is not
// the moment (or not the dialog) for it.
using Step = std::function<bool(GtkWidget *dialog)>;

// Takes the steps in turn on the dialogs that show, from the main loop
// (the dialog's own loop while it runs). Whatever is still open when the
// steps run out of time is cancelled, so that a fault fails the test
// instead of hanging it.
struct Person {
    std::vector<Step> steps;
    size_t next = 0;
    gint64 deadline = 0;
};

gboolean act(gpointer data)
{
    auto *person = static_cast<Person *>(data);
    bool out_of_time = g_get_monotonic_time() > person->deadline;
    GList *tops = gtk_window_list_toplevels();
    for (GList *l = tops; l && person->next < person->steps.size(); l = l->next) {
        GtkWidget *w = GTK_WIDGET(l->data);
        if (!GTK_IS_DIALOG(w) || !gtk_widget_get_mapped(w))
            continue;
        if (out_of_time)
            gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_CANCEL);
        else if (person->steps[person->next](w))
            person->next++;
    }
    g_list_free(tops);
    if (person->next < person->steps.size() && !out_of_time)
        return TRUE;
    delete person;
    return FALSE;
}

void person_will(std::vector<Step> steps)
{
    auto *person = new Person{std::move(steps), 0, g_get_monotonic_time() + 10 * G_USEC_PER_SEC};
    gdk_threads_add_timeout(20, act, person);
}

bool is_name_dialog(GtkWidget *dialog)
{
    return KIVEL_IS_FILE_CHOOSER_DIALOG(dialog);
}

// Types `name` over what the dialog proposes and taps OK.
Step type_name(const std::string &name)
{
    return [name](GtkWidget *dialog) {
        GtkWidget *entry = find_entry(dialog);
        if (!is_name_dialog(dialog) || !entry)
            return false;
        gtk_entry_set_text(GTK_ENTRY(entry), name.c_str());
        gtk_button_clicked(GTK_BUTTON(ulvo_test::find_button(dialog, "OK")));
        return true;
    };
}

Step cancel()
{
    return [](GtkWidget *dialog) {
        gtk_button_clicked(GTK_BUTTON(ulvo_test::find_button(dialog, "Cancel")));
        return true;
    };
}

// Only once `ready` says so.
Step once(std::function<bool()> ready, Step step)
{
    return [ready, step](GtkWidget *dialog) { return ready() && step(dialog); };
}

} // namespace

class NewFolder : public testing::Test
{
  protected:
    void SetUp() override
    {
        if (ulvo_test::inside_private_mounts())
            return;
        ulvo_test::write_file(trip() + "/Day/morning.jpg", "m");
        start();
    }

    void start()
    {
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        fs = file_selection_of(browser);
    }

    std::string trip() { return docs_dir() + "/Trip"; }

    // Makes `uri` the current folder once the model has it, and waits until
    // its items are read.
    void enter(const std::string &uri)
    {
        ASSERT_TRUE(pump_until([&] {
            return current_folder(browser) == uri ||
                   kivel_file_selection_set_current_folder_uri(fs, uri.c_str(), nullptr);
        })) << uri;
        ASSERT_TRUE(pump_until([&] {
            GtkTreeIter folder;
            GObject *model = nullptr;
            g_object_get(fs, "model", &model, NULL);
            bool read =
                uri == KIVEL_FILE_SYSTEM_ROOT_URI ||
                (kivel_file_selection_get_current_folder_iter(fs, &folder) &&
                 kivel_file_system_model_children_loaded(KIVEL_FILE_SYSTEM_MODEL(model), &folder));
            g_object_unref(model);
            return read;
        })) << uri;
    }

    // Taps New folder in the application menu, with the pointer, once the
    // menu is on the screen.
    void tap_new_folder()
    {
        bool on_screen = false;
        gulong id = g_signal_connect_swapped(browser->main_menu, "map-event",
                                             G_CALLBACK(+[](bool *shown) -> gboolean {
                                                 *shown = true;
                                                 return FALSE;
                                             }),
                                             &on_screen);
        ASSERT_TRUE(kivel_window_open_app_menu(KIVEL_WINDOW(browser)));
        ASSERT_TRUE(pump_until([&] { return on_screen; }));
        g_signal_handler_disconnect(browser->main_menu, id);
        GtkWidget *button = browser->new_folder_button;
        GtkAllocation area;
        gtk_widget_get_allocation(button, &area);
        ulvo_test::pointer_move(button, area.width / 2, area.height / 2);
        ulvo_test::pointer_click();
    }

    gint stored_view(const std::string &uri)
    {
        return g_key_file_get_integer(global_ofm->keyfile, ULVO_FM_FOLDER_STATE_GROUP, uri.c_str(),
                                      nullptr);
    }

    std::vector<std::string> selected()
    {
        std::vector<std::string> out;
        GSList *uris = kivel_file_selection_get_selected_uris(fs);
        for (GSList *l = uris; l; l = l->next)
            out.push_back(static_cast<const char *>(l->data));
        g_slist_free_full(uris, g_free);
        return out;
    }

    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *fs = nullptr;
};

TEST_F(NewFolder, TypedNamesBecomeFoldersViewedAsTheirParent)
{
    enter(file_uri(trip()));
    // Thumbnails, newest first.
    ulvo_fm_set_config_value_for_texturi(global_ofm->keyfile, file_uri(trip()).c_str(), 1, 2, 1);

    GtkWindow *parent = nullptr;
    gboolean modal = FALSE;
    person_will({[&](GtkWidget *dialog) {
        parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
        modal = gtk_window_get_modal(GTK_WINDOW(dialog));
        return type_name("Summer trip")(dialog);
    }});
    tap_new_folder();
    ASSERT_TRUE(pump_until([&] { return ulvo_test::path_exists(trip() + "/Summer trip"); }));
    EXPECT_EQ(parent, GTK_WINDOW(browser));
    EXPECT_TRUE(modal);
    std::string made = file_uri(trip() + "/Summer trip");
    EXPECT_EQ(stored_view(made), 98);
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    // The view stays in the folder, with the new folder in sight and selected.
    ASSERT_TRUE(pump_until([&] { return selected() == std::vector<std::string>{made}; }));
    EXPECT_EQ(current_folder(browser), file_uri(trip()));

    const std::string letters = "Ärger über Öl 日本";
    person_will({type_name(letters)});
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(g_file_test((trip() + "/" + letters).c_str(), G_FILE_TEST_IS_DIR));
    EXPECT_EQ(stored_view(file_uri(trip() + "/" + letters)), 98);
}

TEST_F(NewFolder, ATakenNameAsksAgainAndCancelMakesNothing)
{
    enter(file_uri(trip()));
    LogRecorder shown("Kivel");
    const std::string taken = "banner: A folder with this name already exists";
    person_will(
        {type_name("Day"), once([&] { return shown.contains(taken); }, type_name("Night"))});
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(shown.contains(taken)) << shown.text();
    EXPECT_TRUE(g_file_test((trip() + "/Night").c_str(), G_FILE_TEST_IS_DIR));
    EXPECT_TRUE(ulvo_test::path_exists(trip() + "/Day/morning.jpg"));

    person_will({cancel()});
    on_newfolder_activate(global_ofm);
    GDir *dir = g_dir_open(trip().c_str(), 0, nullptr);
    int entries = 0;
    while (g_dir_read_name(dir))
        entries++;
    g_dir_close(dir);
    EXPECT_EQ(entries, 2) << "Day and Night only";
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
}

TEST_F(NewFolder, PlacesWhereNoFolderCanBeMadeAreRefusedBeforeAnyDialog)
{
    bool dialog_shown = false;
    person_will({[&](GtkWidget *dialog) {
        dialog_shown = true;
        return cancel()(dialog);
    }});
    LogRecorder shown("Kivel");

    ulvo_test::make_dir(docs_dir() + "/Locked", 0555);
    enter(file_uri(docs_dir() + "/Locked"));
    EXPECT_FALSE(ulvo_fm_new_folder(global_ofm));
    EXPECT_TRUE(shown.contains("banner: Location is read-only")) << shown.text();

    enter(KIVEL_FILE_SYSTEM_ROOT_URI);
    EXPECT_FALSE(ulvo_fm_new_folder(global_ofm));
    EXPECT_TRUE(shown.contains("banner: Cannot create a folder here")) << shown.text();

    // A folder whose URI leaves no room for a name.
    std::string prefix = file_uri(docs_dir()) + "/";
    std::string deep = docs_dir() + "/" + std::string(254 - prefix.size(), 'x');
    ulvo_test::make_dir(deep);
    enter(file_uri(deep));
    ASSERT_EQ(file_uri(deep).size(), 254u);
    EXPECT_TRUE(ulvo_fm_new_folder(global_ofm));
    EXPECT_TRUE(shown.contains("banner: Name too long")) << shown.text();
    ulvo_test::pump_for(100);
    EXPECT_FALSE(dialog_shown);

    std::string fits = docs_dir() + "/" + std::string(253 - prefix.size(), 'y');
    ulvo_test::make_dir(fits);
    enter(file_uri(fits));
    EXPECT_TRUE(ulvo_fm_new_folder(global_ofm));
    EXPECT_TRUE(dialog_shown) << "a name still fits";
}

TEST_F(NewFolder, SpecialFolderNamesAtTheDocumentsRootAreNumbered)
{
    enter(file_uri(docs_dir()));
    person_will({type_name("Images")});
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(g_file_test((docs_dir() + "/Images (1)").c_str(), G_FILE_TEST_IS_DIR));
    EXPECT_FALSE(ulvo_test::path_exists(docs_dir() + "/Images"));

    person_will({type_name("Images")});
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(g_file_test((docs_dir() + "/Images (2)").c_str(), G_FILE_TEST_IS_DIR));

    // One level down the name is free to take.
    enter(file_uri(trip()));
    person_will({type_name("Images")});
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(g_file_test((trip() + "/Images").c_str(), G_FILE_TEST_IS_DIR));
}

TEST_F(NewFolder, AFolderGoneMeanwhileEndsWithANote)
{
    enter(file_uri(trip()));
    enter(file_uri(trip() + "/Day"));
    LogRecorder shown("Kivel");
    bool answered = false;
    person_will({[&](GtkWidget *dialog) {
                     if (!is_name_dialog(dialog))
                         return false;
                     // Someone else removes the folder while the name is typed.
                     g_remove((trip() + "/Day/morning.jpg").c_str());
                     g_rmdir((trip() + "/Day").c_str());
                     return type_name("Evening")(dialog);
                 },
                 [&](GtkWidget *dialog) {
                     if (is_name_dialog(dialog))
                         return false;
                     answered = true;
                     gtk_button_clicked(GTK_BUTTON(ulvo_test::find_button(dialog, "OK")));
                     return true;
                 }});
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(shown.contains("note: Operation failed")) << shown.text();
    EXPECT_TRUE(answered);
    EXPECT_FALSE(ulvo_test::path_exists(trip() + "/Day"));
}

TEST_F(NewFolder, AReadOnlyMediumSaysSo)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    ulvo_test::make_dir("/media/mmc1");
    ASSERT_TRUE(ulvo_test::mount_tmpfs("cardone", "/media/mmc1"));
    ulvo_test::make_dir("/media/mmc1/photos");
    if (mount(nullptr, "/media/mmc1", nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "cannot make the card read-only";
    start();
    enter("file:///media/mmc1");
    enter("file:///media/mmc1/photos");

    LogRecorder shown("Kivel");
    person_will({type_name("Party")});
    EXPECT_TRUE(ulvo_fm_new_folder(global_ofm)) << "its folders look writable";
    EXPECT_TRUE(shown.contains("banner: Location is read-only")) << shown.text();
    EXPECT_FALSE(ulvo_test::path_exists("/media/mmc1/photos/Party"));
}
