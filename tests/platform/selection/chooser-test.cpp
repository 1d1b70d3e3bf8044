// The file chooser dialog over a real model of real folders: folders chosen
// by finger taps, names typed into it, and the URIs it hands back.
#include "platform/selection/dialog-helpers.h"
#include "platform/fsmodel/model-fixture.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "platform/selection/tree-tap.h"
#include "support/pointer.h"

#include <glib/gstdio.h>
#include <string.h>

using namespace ulvo_test;
using namespace model_test;
using dialog_test::find_of_type;

namespace
{

std::string take(gchar *text)
{
    std::string result = text ? text : "(null)";
    g_free(text);
    return result;
}

class Chooser : public ModelTest
{
  protected:
    void TearDown() override
    {
        if (dialog_)
            gtk_widget_destroy(dialog_);
        ModelTest::TearDown();
    }

    void open(GtkFileChooserAction action, int max_name_length = 255, bool autonaming = true)
    {
        dialog_ = kivel_file_chooser_dialog_new_with_properties(
            nullptr, "title", "Choose", "file-system-model", model_, "action", action,
            "max-name-length", max_name_length, "autonaming", gboolean(autonaming), nullptr);
        ASSERT_TRUE(GTK_IS_FILE_CHOOSER(dialog_));
        g_signal_connect(dialog_, "response", G_CALLBACK(+[](GtkDialog *, gint id, gpointer me) {
                             static_cast<Chooser *>(me)->response_ = id;
                         }),
                         this);
    }
    GtkFileChooser *chooser() const { return GTK_FILE_CHOOSER(dialog_); }
    GtkTreeView *tree() const { return GTK_TREE_VIEW(find_of_type(dialog_, GTK_TYPE_TREE_VIEW)); }
    GtkEntry *entry() const { return GTK_ENTRY(find_of_type(dialog_, GTK_TYPE_ENTRY)); }
    std::string uri() const { return take(gtk_file_chooser_get_uri(chooser())); }

    void show()
    {
        gtk_widget_show(dialog_);
        ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(dialog_); }));
    }

    // Taps the middle of `widget` with the pointer.
    void tap(GtkWidget *widget)
    {
        GtkAllocation allocation;
        gtk_widget_get_allocation(widget, &allocation);
        pointer_move(widget, allocation.width / 2, allocation.height / 2);
        pointer_click();
    }

    // The path of the child of `parent` (NULL: the top) shown as `name`.
    GtkTreePath *shown_child(GtkTreePath *parent, const std::string &name)
    {
        GtkTreeModel *shown = gtk_tree_view_get_model(tree());
        GtkTreeIter top, child;
        bool ok = parent ? gtk_tree_model_get_iter(shown, &top, parent) &&
                               gtk_tree_model_iter_children(shown, &child, &top)
                         : gtk_tree_model_get_iter_first(shown, &child);
        for (; ok; ok = gtk_tree_model_iter_next(shown, &child))
            if (string_column(shown, &child, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME) == name)
                return gtk_tree_model_get_path(shown, &child);
        return nullptr;
    }

    // (transfer full) (nullable) The row the tree chooses, once it has one.
    GtkTreePath *await_selected_path()
    {
        GtkTreeSelection *selection = gtk_tree_view_get_selection(tree());
        GtkTreeModel *shown = nullptr;
        GtkTreeIter row;
        if (!pump_until([&] { return gtk_tree_selection_get_selected(selection, &shown, &row); }))
            return nullptr;
        return gtk_tree_model_get_path(shown, &row);
    }

    // The URI shown at `path`.
    std::string shown_uri(GtkTreePath *path)
    {
        GtkTreeModel *shown = gtk_tree_view_get_model(tree());
        GtkTreeIter row;
        if (!gtk_tree_model_get_iter(shown, &row, path))
            return "(none)";
        return string_column(shown, &row, KIVEL_FILE_SYSTEM_MODEL_URI);
    }

    // TRUE once the folder shown at `path` has all its rows: until then rows
    // that come in may sort above a row and move it.
    bool shown_folder_loaded(GtkTreePath *path)
    {
        GtkTreeIter row;
        return find(shown_uri(path), &row) && kivel_file_system_model_children_loaded(model_, &row);
    }

    // Taps the folder `name` under `parent` and waits until it is chosen and,
    // when it has subfolders, unfolded; returns its path.
    GtkTreePath *tap_folder(GtkTreePath *parent, const std::string &name, bool unfolds = true)
    {
        if (parent) {
            EXPECT_TRUE(pump_until([&] { return shown_folder_loaded(parent); }))
                << "the folder above " << name << " did not load";
        }
        GtkTreePath *path = nullptr;
        EXPECT_TRUE(pump_until([&] { return (path = shown_child(parent, name)) != nullptr; }))
            << name << " is not offered";
        if (!path)
            return nullptr;
        std::string tapped = shown_uri(path);
        EXPECT_EQ(tree_test::tap_tree_row(tree(), path), "") << name;
        EXPECT_TRUE(pump_until([&] { return uri() == tapped; }))
            << name << " was not chosen: " << uri();
        if (unfolds) {
            EXPECT_TRUE(pump_until([&] { return gtk_tree_view_row_expanded(tree(), path); }))
                << name << " did not unfold";
        }
        return path;
    }

    std::string docs_name()
    {
        GtkTreeIter docs;
        EXPECT_TRUE(find(uri_of(docs_), &docs));
        return string_column(tree_, &docs, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME);
    }

    bool loaded(const std::string &path)
    {
        GtkTreeIter row;
        return find(uri_of(path), &row) && kivel_file_system_model_children_loaded(model_, &row);
    }

    void type(const std::string &text)
    {
        gint position = gtk_editable_get_position(GTK_EDITABLE(entry()));
        gtk_editable_insert_text(GTK_EDITABLE(entry()), text.c_str(), gint(text.size()), &position);
        gtk_editable_set_position(GTK_EDITABLE(entry()), position);
    }
    std::string name() const { return gtk_entry_get_text(entry()); }

    GtkWidget *dialog_ = nullptr;
    int response_ = GTK_RESPONSE_NONE;
};

TEST_F(Chooser, TapsUnfoldFoldersAsTheyLoadAndOkGivesTheTappedFolder)
{
    ASSERT_TRUE(pointer_available());
    make_dir(docs_ + "/trip/day one/photos/raw");
    write_file(docs_ + "/trip/notes.txt", "x");
    open(GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
    show();

    GtkTreePath *docs = tap_folder(nullptr, docs_name());
    ASSERT_TRUE(docs);
    EXPECT_EQ(uri(), uri_of(docs_));
    EXPECT_FALSE(loaded(docs_ + "/trip")) << "a folder loaded before anyone asked";
    GtkTreePath *trip = tap_folder(docs, "trip");
    ASSERT_TRUE(trip);
    EXPECT_FALSE(shown_child(trip, "notes.txt")) << "files are no places to go";
    GtkTreePath *day = tap_folder(trip, "day one");
    ASSERT_TRUE(day);
    EXPECT_FALSE(loaded(docs_ + "/trip/day one/photos"));
    GtkTreePath *photos = tap_folder(day, "photos");
    ASSERT_TRUE(photos);

    tap(find_button(dialog_, "OK"));
    ASSERT_TRUE(pump_until([&] { return response_ == GTK_RESPONSE_OK; }));
    EXPECT_EQ(uri(), uri_of(docs_ + "/trip/day one/photos"));
    EXPECT_EQ(uri(), "file://" + docs_ + "/trip/day%20one/photos");
    for (GtkTreePath *p : {docs, trip, day, photos})
        gtk_tree_path_free(p);
}

using Names = std::vector<std::string>;

TEST_F(Chooser, FoldersAreListedByNameAndTapsChooseTheFolderShown)
{
    ASSERT_TRUE(pointer_available());
    std::string dir = docs_ + "/mixed";
    for (const char *name : {"b", "A", ".sounds", "c", "B2", "Ä", "a2"})
        make_dir(dir + "/" + name);
    write_file(dir + "/0 notes.txt", "x");
    open(GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
    ASSERT_TRUE(gtk_file_chooser_set_current_folder_uri(chooser(), uri_of(dir).c_str()));
    show();
    GtkTreePath *mixed = await_selected_path();
    ASSERT_TRUE(mixed);
    // The locale places "Ä" and ".sounds": only plain names are checked.
    auto plain_subfolders = [&] {
        Names names;
        GtkTreeModel *shown = gtk_tree_view_get_model(tree());
        GtkTreeIter parent, child;
        if (!gtk_tree_model_get_iter(shown, &parent, mixed))
            return names;
        for (bool ok = gtk_tree_model_iter_children(shown, &child, &parent); ok;
             ok = gtk_tree_model_iter_next(shown, &child)) {
            std::string name = string_column(shown, &child, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME);
            if (g_ascii_isalnum(name[0]) && g_str_is_ascii(name.c_str()))
                names.push_back(name);
        }
        return names;
    };
    EXPECT_TRUE(pump_until([&] {
        return plain_subfolders() == Names{"A", "a2", "b", "B2", "c"};
    })) << testing::PrintToString(plain_subfolders());

    GtkTreePath *b = tap_folder(mixed, "b", false);
    ASSERT_TRUE(b);
    EXPECT_EQ(uri(), uri_of(dir + "/b"));
    gtk_tree_path_free(b);

    // A folder made and a folder renamed while shown go to their places.
    make_dir(dir + "/B1");
    ASSERT_EQ(g_rename((dir + "/A").c_str(), (dir + "/d").c_str()), 0);
    EXPECT_TRUE(pump_until([&] {
        return plain_subfolders() == Names{"a2", "b", "B1", "B2", "c", "d"};
    })) << testing::PrintToString(plain_subfolders());
    EXPECT_EQ(uri(), uri_of(dir + "/b")) << "the chosen folder stays chosen";

    GtkTreePath *b2 = tap_folder(mixed, "B2", false);
    ASSERT_TRUE(b2);
    tap(find_button(dialog_, "OK"));
    ASSERT_TRUE(pump_until([&] { return response_ == GTK_RESPONSE_OK; }));
    EXPECT_EQ(uri(), uri_of(dir + "/B2"));
    gtk_tree_path_free(b2);
    gtk_tree_path_free(mixed);
}

TEST_F(Chooser, AStartFolderAmongUnsortedFoldersIsTheOneChosen)
{
    for (const char *name : {"z/deep", "b/deep", "M/deep", "a/deep/er"})
        make_dir(docs_ + "/" + name);
    open(GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
    std::string start = uri_of(docs_ + "/b/deep");
    ASSERT_TRUE(gtk_file_chooser_set_current_folder_uri(chooser(), start.c_str()));
    show();
    GtkTreePath *path = await_selected_path();
    ASSERT_TRUE(path);
    EXPECT_EQ(shown_uri(path), start);
    GtkTreePath *above = gtk_tree_path_copy(path);
    ASSERT_TRUE(gtk_tree_path_up(above));
    EXPECT_TRUE(gtk_tree_view_row_expanded(tree(), above)) << "the way there is unfolded";
    gtk_tree_path_free(above);
    gtk_tree_path_free(path);
    gtk_dialog_response(GTK_DIALOG(dialog_), GTK_RESPONSE_OK);
    EXPECT_EQ(response_, GTK_RESPONSE_OK);
    EXPECT_EQ(uri(), start);
}

TEST_F(Chooser, AStartFolderDeepInsideIsLoadedShownAndGivenBack)
{
    make_dir(docs_ + "/a/b/c");
    open(GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
    std::string start = uri_of(docs_ + "/a/b");
    EXPECT_TRUE(gtk_file_chooser_set_current_folder_uri(chooser(), start.c_str()));
    EXPECT_EQ(uri(), start) << "the start folder counts before it has loaded";
    show();

    // The tree chooses the row itself once the folders leading there loaded.
    GtkTreePath *path = await_selected_path();
    ASSERT_TRUE(path);
    EXPECT_EQ(shown_uri(path), start);
    gtk_tree_path_free(path);
    EXPECT_EQ(take(gtk_file_chooser_get_current_folder_uri(chooser())), start);

    // OK with nothing to choose is refused instead of answering.
    gtk_widget_destroy(dialog_);
    open(GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
    show();
    LogRecorder banners("Kivel");
    gtk_dialog_response(GTK_DIALOG(dialog_), GTK_RESPONSE_OK);
    EXPECT_EQ(response_, GTK_RESPONSE_NONE);
    EXPECT_TRUE(banners.contains("Select a folder")) << banners.text();
}

TEST_F(Chooser, ATypedNameComesBackEscapedInsideTheFolder)
{
    ASSERT_TRUE(pointer_available());
    std::string folder = docs_ + "/Trip #1 50%";
    make_dir(folder);
    open(GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER);
    ASSERT_TRUE(gtk_file_chooser_set_current_folder_uri(chooser(), uri_of(folder).c_str()));
    show();
    EXPECT_NE(collect_label_text(dialog_).find("Trip #1 50%"), std::string::npos)
        << "the folder is shown by its name";

    gtk_editable_delete_text(GTK_EDITABLE(entry()), 0, -1);
    type("Día #2 100% ö");
    tap(find_button(dialog_, "OK"));
    ASSERT_TRUE(pump_until([&] { return response_ == GTK_RESPONSE_OK; }));

    std::string expected =
        "file://" + docs_ + "/Trip%20%231%2050%25/D%C3%ADa%20%232%20100%25%20%C3%B6";
    EXPECT_EQ(uri(), expected);
    EXPECT_EQ(take(gtk_file_chooser_get_filename(chooser())), folder + "/Día #2 100% ö");
    EXPECT_EQ(take(gtk_file_chooser_get_current_folder_uri(chooser())), uri_of(folder));

    // Without a model or a folder, a name still comes back as a place.
    gtk_widget_destroy(dialog_);
    dialog_ = kivel_file_chooser_dialog_new_with_properties(
        nullptr, "action", GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER, "autonaming", FALSE, nullptr);
    gtk_file_chooser_set_current_name(chooser(), "short #2.txt");
    EXPECT_EQ(uri(), uri_of(test_home() + "/short #2.txt"));
}

TEST_F(Chooser, NamesWithoutContentOrWithSlashesAreRefused)
{
    open(GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER);
    gtk_file_chooser_set_current_folder_uri(chooser(), uri_of(docs_).c_str());
    show();
    LogRecorder banners("Kivel");
    for (const char *nothing : {"", "   ", ".", ".."}) {
        gtk_file_chooser_set_current_name(chooser(), nothing);
        gtk_dialog_response(GTK_DIALOG(dialog_), GTK_RESPONSE_OK);
        EXPECT_EQ(response_, GTK_RESPONSE_NONE) << "OK answered for '" << nothing << "'";
    }
    EXPECT_TRUE(banners.contains("Enter a name")) << banners.text();

    gtk_editable_delete_text(GTK_EDITABLE(entry()), 0, -1);
    type("a/b");
    EXPECT_EQ(name(), "ab");
    EXPECT_TRUE(banners.contains("Invalid characters: /")) << banners.text();
    gtk_dialog_response(GTK_DIALOG(dialog_), GTK_RESPONSE_OK);
    EXPECT_EQ(response_, GTK_RESPONSE_OK);
    EXPECT_EQ(uri(), uri_of(docs_ + "/ab"));
}

TEST_F(Chooser, TheLongestNameIsCountedInBytesAndNeverSplitsACharacter)
{
    open(GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER, 11, false);
    gtk_file_chooser_set_current_folder_uri(chooser(), uri_of(docs_).c_str());
    show();
    LogRecorder banners("Kivel");
    gtk_editable_delete_text(GTK_EDITABLE(entry()), 0, -1);
    type("abcdefghijk");
    EXPECT_EQ(name(), "abcdefghijk");
    EXPECT_FALSE(banners.contains("Maximum number of characters reached"));
    type("l");
    EXPECT_EQ(name(), "abcdefghijk") << "the 12th byte went in";
    EXPECT_TRUE(banners.contains("Maximum number of characters reached")) << banners.text();

    // Ten bytes and a two-byte letter: the letter stays out whole.
    gtk_editable_delete_text(GTK_EDITABLE(entry()), 0, -1);
    type("abcdefghij");
    type("é");
    EXPECT_EQ(name(), "abcdefghij");
    // A paste keeps what fits, in whole characters.
    gtk_editable_delete_text(GTK_EDITABLE(entry()), 0, -1);
    type("ééééééé");
    EXPECT_EQ(name(), "ééééé");

    // A name handed over cut inside a character shows its whole characters.
    gtk_file_chooser_set_current_name(chooser(), "abcdefghij\xc3");
    EXPECT_EQ(name(), "abcdefghij");
    gtk_file_chooser_set_current_name(chooser(), "ö123456789abc");
    EXPECT_EQ(name(), "ö123456789");
    EXPECT_TRUE(g_utf8_validate(name().c_str(), -1, nullptr));
}

TEST_F(Chooser, AutonamingMakesAProposedNameFreeButLeavesTypedNames)
{
    make_dir(docs_ + "/work/New folder");
    make_dir(docs_ + "/work/Report");
    write_file(docs_ + "/work/Report (1)", "x");
    std::string work = uri_of(docs_ + "/work");

    open(GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER);
    gtk_file_chooser_set_current_folder_uri(chooser(), work.c_str());
    EXPECT_EQ(name(), "New folder (1)") << "the proposal is free in the folder";
    gtk_file_chooser_set_current_name(chooser(), "Report");
    EXPECT_EQ(name(), "Report (2)");
    EXPECT_EQ(uri(), work + "/Report%20(2)");

    // What a person types is theirs, also when it is taken.
    gtk_editable_delete_text(GTK_EDITABLE(entry()), 0, -1);
    type("Report");
    g_signal_emit_by_name(dialog_, "show");
    EXPECT_EQ(name(), "Report");

    // Without autonaming a proposal stays as given.
    gtk_widget_destroy(dialog_);
    open(GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER, 255, false);
    gtk_file_chooser_set_current_folder_uri(chooser(), work.c_str());
    gtk_file_chooser_set_current_name(chooser(), "Report");
    EXPECT_EQ(name(), "Report");
    EXPECT_EQ(uri(), work + "/Report");
}

TEST_F(Chooser, ACallerMayReplaceTheEmptyNameRule)
{
    // A caller blocks the dialog's first "response" handler to bring rules
    // of its own.
    open(GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER, 11, false);
    gtk_file_chooser_set_current_folder_uri(chooser(), uri_of(docs_).c_str());
    gtk_file_chooser_set_current_name(chooser(), "");
    guint signal = g_signal_lookup("response", GTK_TYPE_DIALOG);
    gulong first =
        g_signal_handler_find(dialog_, G_SIGNAL_MATCH_ID, signal, 0, nullptr, nullptr, nullptr);
    ASSERT_NE(first, 0u);
    g_signal_handler_block(dialog_, first);
    gtk_dialog_response(GTK_DIALOG(dialog_), GTK_RESPONSE_OK);
    EXPECT_EQ(response_, GTK_RESPONSE_OK);
    EXPECT_EQ(uri(), "(null)") << "no name, no URI";
}

struct NewFolderAnswer {
    std::string name;
    GtkWidget *outer;
    bool answered;
};

// Types a name into the inner name dialog once it shows, and confirms it.
gboolean answer_new_folder(gpointer data)
{
    auto *answer = static_cast<NewFolderAnswer *>(data);
    GList *tops = gtk_window_list_toplevels();
    for (GList *l = tops; l; l = l->next) {
        GtkWidget *w = GTK_WIDGET(l->data);
        if (w != answer->outer && KIVEL_IS_FILE_CHOOSER_DIALOG(w) && gtk_widget_get_mapped(w)) {
            gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(w), answer->name.c_str());
            gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_OK);
            answer->answered = true;
        }
    }
    g_list_free(tops);
    return !answer->answered;
}

TEST_F(Chooser, TheNewFolderButtonMakesAFolderInTheChosenOneAndChoosesIt)
{
    ASSERT_TRUE(pointer_available());
    make_dir(docs_ + "/music");
    open(GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER);
    show();
    GtkTreePath *docs = tap_folder(nullptr, docs_name());
    ASSERT_TRUE(docs);
    GtkTreePath *music = tap_folder(docs, "music", false);
    ASSERT_TRUE(music);

    NewFolderAnswer answer{"live #1", dialog_, false};
    guint source = gdk_threads_add_timeout(20, answer_new_folder, &answer);
    tap(find_button(dialog_, "New folder"));
    ASSERT_TRUE(pump_until([&] { return answer.answered; }));
    if (!answer.answered)
        g_source_remove(source);
    EXPECT_TRUE(path_exists(docs_ + "/music/live #1"));
    ASSERT_TRUE(pump_until([&] { return uri() == uri_of(docs_ + "/music/live #1"); }))
        << "the new folder was not chosen: " << uri();
    gtk_tree_path_free(docs);
    gtk_tree_path_free(music);
}

} // namespace
