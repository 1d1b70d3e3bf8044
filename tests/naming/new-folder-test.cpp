// New folder: the name typed in the dialog becomes a folder of the folder
// shown, with its view settings; taken names, places where no folder can be
// made and a read-only medium say why.
#include "app/browser-fixture.h"
#include "app/ulvo-fm-app.h"
#include "naming/new-folder.h"
#include "settings/folder-state.h"
#include "support/private-mounts.h"
#include "ui/notices-fixture.h"

#include <sys/mount.h>

using namespace browser_test;
using notices_test::when_dialog_shows;
using ulvo_test::LogRecorder;
using ulvo_test::pump_until;

namespace
{

GtkWidget *find_entry(GtkWidget *widget)
{
    GtkWidget *found = GTK_IS_ENTRY(widget) && gtk_widget_get_visible(widget) ? widget : nullptr;
    if (!found && GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *l = children; l && !found; l = l->next)
            found = find_entry(GTK_WIDGET(l->data));
        g_list_free(children);
    }
    return found;
}

// Types `name` over what the dialog proposes and taps OK.
void type_name(GtkWidget *dialog, const std::string &name)
{
    gtk_entry_set_text(GTK_ENTRY(find_entry(dialog)), name.c_str());
    gtk_button_clicked(GTK_BUTTON(ulvo_test::find_button(dialog, "OK")));
}

void will_type(const std::string &name)
{
    when_dialog_shows([name](GtkWidget *dialog) { type_name(dialog, name); });
}

bool is_dir(const std::string &path)
{
    return g_file_test(path.c_str(), G_FILE_TEST_IS_DIR);
}

} // namespace

class NewFolder : public testing::Test
{
  protected:
    void SetUp() override
    {
        if (ulvo_test::inside_private_mounts())
            return;
        ulvo_test::write_file(trip + "/Day/morning.jpg", "m");
        start();
    }

    void start()
    {
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        fs = file_selection_of(browser);
    }

    // Makes `uri` (a child of the current folder) the current folder once
    // the model has it, and waits until its items are read.
    void enter(const std::string &uri)
    {
        ASSERT_TRUE(pump_until([&] {
            GtkTreeIter folder;
            GObject *model = nullptr;
            g_object_get(fs, "model", &model, NULL);
            bool read = (current_folder(browser) == uri ||
                         kivel_file_selection_set_current_folder_uri(fs, uri.c_str(), nullptr)) &&
                        (uri == KIVEL_FILE_SYSTEM_ROOT_URI ||
                         (kivel_file_selection_get_current_folder_iter(fs, &folder) &&
                          kivel_file_system_model_children_loaded(KIVEL_FILE_SYSTEM_MODEL(model),
                                                                  &folder)));
            g_object_unref(model);
            return read;
        })) << uri;
    }

    std::string trip = docs_dir() + "/Trip";
    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *fs = nullptr;
};

TEST_F(NewFolder, TypedNamesBecomeFoldersViewedAsTheirParent)
{
    enter(file_uri(trip));
    // Thumbnails, newest first.
    ulvo_fm_set_config_value_for_texturi(global_ofm->keyfile, file_uri(trip).c_str(), 1, 2, 1);
    GtkWindow *parent = nullptr;
    when_dialog_shows([&](GtkWidget *dialog) {
        parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
        type_name(dialog, "Summer trip");
    });
    tap_menu_entry(browser, browser->new_folder_button);

    ASSERT_TRUE(pump_until([&] { return is_dir(trip + "/Summer trip"); }));
    EXPECT_EQ(parent, GTK_WINDOW(browser));
    std::string made = file_uri(trip + "/Summer trip");
    auto stored = [](const std::string &uri) {
        return g_key_file_get_integer(global_ofm->keyfile, ULVO_FM_FOLDER_STATE_GROUP, uri.c_str(),
                                      nullptr);
    };
    EXPECT_EQ(stored(made), 98);
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    // The view stays, with the new folder in sight and selected.
    ASSERT_TRUE(pump_until([&] {
        GSList *uris = kivel_file_selection_get_selected_uris(fs);
        bool only_made = uris && !uris->next && made == static_cast<const char *>(uris->data);
        g_slist_free_full(uris, g_free);
        return only_made;
    }));
    EXPECT_EQ(current_folder(browser), file_uri(trip));

    const std::string letters = "Ärger über Öl 日本";
    will_type(letters);
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(is_dir(trip + "/" + letters));
    EXPECT_EQ(stored(file_uri(trip + "/" + letters)), 98);
}

TEST_F(NewFolder, ATakenNameAsksAgainAndCancelMakesNothing)
{
    enter(file_uri(trip));
    LogRecorder shown("Kivel");
    when_dialog_shows([](GtkWidget *dialog) {
        // The same dialog again, once the banner said why.
        will_type("Night");
        type_name(dialog, "Day");
    });
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(shown.contains("banner: A folder with this name already exists")) << shown.text();
    EXPECT_TRUE(is_dir(trip + "/Night"));
    EXPECT_TRUE(ulvo_test::path_exists(trip + "/Day/morning.jpg"));

    when_dialog_shows([](GtkWidget *dialog) {
        gtk_entry_set_text(GTK_ENTRY(find_entry(dialog)), "Never");
        gtk_button_clicked(GTK_BUTTON(ulvo_test::find_button(dialog, "Cancel")));
    });
    on_newfolder_activate(global_ofm);
    EXPECT_FALSE(ulvo_test::path_exists(trip + "/Never"));
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
}

TEST_F(NewFolder, PlacesWhereNoFolderCanBeMadeAreRefusedBeforeAnyDialog)
{
    bool dialog_shown = false;
    when_dialog_shows([&](GtkWidget *dialog) {
        dialog_shown = true;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    });
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
    enter(file_uri(docs_dir()));
    enter(file_uri(deep));
    ulvo_fm_new_folder(global_ofm);
    EXPECT_TRUE(shown.contains("banner: Name too long")) << shown.text();
    ulvo_test::pump_for(100);
    EXPECT_FALSE(dialog_shown);
}

TEST_F(NewFolder, SpecialFolderNamesAtTheDocumentsRootAreNumbered)
{
    enter(file_uri(docs_dir()));
    for (const char *made : {"Images (1)", "Images (2)"}) {
        will_type("Images");
        on_newfolder_activate(global_ofm);
        EXPECT_TRUE(is_dir(docs_dir() + "/" + made)) << made;
    }
    EXPECT_FALSE(ulvo_test::path_exists(docs_dir() + "/Images"));

    // One level down the name is free to take.
    enter(file_uri(trip));
    will_type("Images");
    on_newfolder_activate(global_ofm);
    EXPECT_TRUE(is_dir(trip + "/Images"));
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
    will_type("Party");
    EXPECT_TRUE(ulvo_fm_new_folder(global_ofm)) << "its folders look writable";
    EXPECT_TRUE(shown.contains("banner: Location is read-only")) << shown.text();
    EXPECT_FALSE(ulvo_test::path_exists("/media/mmc1/photos/Party"));
}
