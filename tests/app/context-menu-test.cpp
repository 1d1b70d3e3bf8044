// The context menu: what it offers for each kind of item and place, what its
// entries run, and that a finger held on a row opens it.
#include "app/ulvo-fm-context-menu.h"
#include "browser-fixture.h"
#include "support/pointer.h"
#include "support/private-mounts.h"
#include "platform/selection/kivel-file-details-dialog.h"

#include <glib/gstdio.h>

using namespace browser_test;
using ulvo_test::pump_until;

namespace
{

// Closes the details of a file once they show; `seen` says they did.
void close_file_details_when_shown(bool *seen)
{
    gdk_threads_add_timeout(
        20,
        +[](gpointer data) -> gboolean {
            GtkWidget *dialog = ulvo_test::find_showing_dialog();
            if (!dialog)
                return TRUE;
            *static_cast<bool *>(data) = KIVEL_IS_FILE_DETAILS_DIALOG(dialog);
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CLOSE);
            return FALSE;
        },
        seen);
}

// Where on the screen the middle of row `path` of `view` is, once the row is
// scrolled into sight.
bool row_center(GtkTreeView *view, GtkTreePath *path, int *x, int *y)
{
    GdkRectangle area = {}, visible = {};
    gtk_tree_view_scroll_to_cell(view, path, nullptr, TRUE, 0.5, 0);
    gtk_tree_view_get_background_area(view, path, nullptr, &area);
    gtk_tree_view_get_visible_rect(view, &visible);
    GdkWindow *bin = gtk_tree_view_get_bin_window(view);
    gint middle = area.y + area.height / 2;
    if (area.height <= 0 || !bin || !gdk_window_is_viewable(bin) || middle < 0 ||
        middle >= visible.height)
        return false;
    gint ox = 0, oy = 0;
    gdk_window_get_origin(bin, &ox, &oy);
    *x = ox + visible.width / 2;
    *y = oy + middle;
    return *x < gdk_screen_width() && *y < gdk_screen_height();
}

std::string entry_label(GtkWidget *item)
{
    GtkWidget *child = gtk_bin_get_child(GTK_BIN(item));
    return GTK_IS_LABEL(child) ? gtk_label_get_text(GTK_LABEL(child)) : "";
}

// The context menu's entry labelled `label`, visible or not.
GtkWidget *menu_entry(const std::string &label)
{
    if (!global_ofm->popup_menu)
        return nullptr;
    GList *items = gtk_container_get_children(GTK_CONTAINER(global_ofm->popup_menu));
    GtkWidget *found = nullptr;
    for (GList *l = items; l && !found; l = l->next)
        if (entry_label(GTK_WIDGET(l->data)) == label)
            found = GTK_WIDGET(l->data);
    g_list_free(items);
    return found;
}

// The visible entries of the last context menu, in order; "(none)" when
// none was built.
std::string shown_entries()
{
    if (!global_ofm->popup_menu)
        return "(none)";
    std::string out;
    GList *items = gtk_container_get_children(GTK_CONTAINER(global_ofm->popup_menu));
    for (GList *l = items; l; l = l->next) {
        if (!gtk_widget_get_visible(GTK_WIDGET(l->data)))
            continue;
        out += (out.empty() ? "" : ",") + entry_label(GTK_WIDGET(l->data));
    }
    g_list_free(items);
    return out;
}

} // namespace

class ContextMenu : public testing::Test
{
  protected:
    void SetUp() override
    {
        if (ulvo_test::inside_private_mounts() || !needs_browser_at_setup())
            return;
        make_documents();
        start();
    }

    virtual bool needs_browser_at_setup() { return true; }

    void make_documents()
    {
        ulvo_test::write_file(docs_dir() + "/note.txt", "n");
        ulvo_test::write_file(docs_dir() + "/locked.txt", "l");
        g_chmod((docs_dir() + "/locked.txt").c_str(), 0444);
        ulvo_test::write_file(docs_dir() + "/Trip/a.jpg", "a");
        ulvo_test::write_file(docs_dir() + "/Trip/b.jpg", "b");
        ulvo_test::write_file(docs_dir() + "/Trip/old.jpg", "o");
        g_chmod((docs_dir() + "/Trip/old.jpg").c_str(), 0444);
        ulvo_test::write_file(docs_dir() + "/Locked/inside.txt", "i");
        g_chmod((docs_dir() + "/Locked").c_str(), 0555);
    }

    void start()
    {
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        fs = file_selection_of(browser);
    }

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
            gboolean loaded = current_folder(browser) == uri &&
                              (uri == KIVEL_FILE_SYSTEM_ROOT_URI ||
                               (kivel_file_selection_get_current_folder_iter(fs, &folder) &&
                                kivel_file_system_model_children_loaded(
                                    KIVEL_FILE_SYSTEM_MODEL(model), &folder)));
            g_object_unref(model);
            return loaded;
        })) << uri;
        kivel_file_selection_unselect_all(fs);
    }

    // Selects exactly the items `uris` of the content pane and makes it the
    // active pane.
    void select(std::initializer_list<std::string> uris)
    {
        kivel_file_selection_unselect_all(fs);
        for (const std::string &uri : uris)
            ASSERT_TRUE(pump_until([&] {
                return kivel_file_selection_select_uri(fs, uri.c_str());
            })) << uri;
        g_object_set(fs, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    }

    // What the context menu shows when the content pane asks for it.
    std::string popup()
    {
        g_signal_emit_by_name(fs, "content-pane-context-menu");
        std::string shown = shown_entries();
        if (global_ofm->popup_menu)
            gtk_menu_popdown(GTK_MENU(global_ofm->popup_menu));
        return shown;
    }

    // What the context menu shows for exactly the items `uris` selected.
    std::string menu_for(std::initializer_list<std::string> uris)
    {
        select(uris);
        return popup();
    }

    std::string doc(const std::string &name) { return file_uri(docs_dir() + "/" + name); }

    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *fs = nullptr;
};

TEST_F(ContextMenu, FilesOfferOnlyWhatTheyAndTheirFolderAllow)
{
    enter(file_uri(docs_dir()));
    EXPECT_EQ(menu_for({doc("note.txt")}), "Rename,Copy,Move,Delete,Details");

    EXPECT_EQ(menu_for({doc("locked.txt")}), "Copy,Details");

    // The file may be written, its folder may not.
    enter(doc("Locked"));
    EXPECT_EQ(menu_for({doc("Locked/inside.txt")}), "Copy,Details");
}

TEST_F(ContextMenu, FoldersAndCurrentFolders)
{
    enter(file_uri(docs_dir()));
    EXPECT_EQ(menu_for({doc("Trip")}), "Rename,Copy,Move,Delete,Details");
    EXPECT_EQ(menu_for({doc(".images")}), "Copy,Details");
    EXPECT_EQ(menu_for({doc("Locked")}), "Copy,Details");

    // Nothing selected: the menu is about the folder one stands in.
    enter(doc("Trip"));
    EXPECT_EQ(popup(), "Rename,Copy,Move,Delete,Details");
    // The navigation pane's menu is about its folder, whatever the content
    // pane has selected.
    EXPECT_EQ(menu_for({doc("Trip/old.jpg")}), "Copy,Details");
    g_object_set(fs, "active-pane", KIVEL_FILE_SELECTION_PANE_NAVIGATION, NULL);
    g_signal_emit_by_name(fs, "navigation-pane-context-menu");
    EXPECT_EQ(shown_entries(), "Rename,Copy,Move,Delete,Details");
    enter(doc("Locked"));
    EXPECT_EQ(popup(), "Copy,Details");
}

TEST_F(ContextMenu, NoMenuForSeveralItemsNorAtTheTop)
{
    enter(doc("Trip"));
    select({doc("Trip/a.jpg"), doc("Trip/b.jpg")});
    ASSERT_EQ(gtk_tree_selection_count_selected_rows(gtk_tree_view_get_selection(
                  GTK_TREE_VIEW(kivel_file_selection_get_content_view(fs)))),
              2);
    EXPECT_EQ(popup(), "(none)");

    // A menu shown before goes when the next one is asked for.
    select({doc("Trip/a.jpg")});
    g_signal_emit_by_name(fs, "content-pane-context-menu");
    GtkWidget *previous = global_ofm->popup_menu;
    ASSERT_NE(previous, nullptr);
    g_object_add_weak_pointer(G_OBJECT(previous), reinterpret_cast<gpointer *>(&previous));
    select({doc("Trip/a.jpg"), doc("Trip/b.jpg")});
    g_signal_emit_by_name(fs, "content-pane-context-menu");
    EXPECT_EQ(global_ofm->popup_menu, nullptr);
    EXPECT_EQ(previous, nullptr);

    ulvo_test::LogRecorder log("filemanager");
    enter(KIVEL_FILE_SYSTEM_ROOT_URI);
    EXPECT_EQ(popup(), "(none)");
    EXPECT_FALSE(log.contains("Unexpected context menu condition")) << log.text();
}

TEST_F(ContextMenu, EntriesRunTheirCommandsOnATapAndOnAnInsensitivePress)
{
    enter(file_uri(docs_dir()));
    select({doc("note.txt")});
    g_signal_emit_by_name(fs, "content-pane-context-menu");
    ASSERT_NE(global_ofm->popup_menu, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(global_ofm->popup_menu));

    // Each entry opens its command's dialog; a cancel ends the command.
    for (const char *label : {"Rename", "Copy", "Move", "Delete"}) {
        for (const char *signal : {"activate", "insensitive-press"}) {
            int dialogs = 0;
            guint watch = gdk_threads_add_timeout(
                20,
                +[](gpointer seen) -> gboolean {
                    GtkWidget *dialog = ulvo_test::find_showing_dialog();
                    if (dialog && gtk_widget_get_visible(dialog)) {
                        ++*static_cast<int *>(seen);
                        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
                    }
                    return G_SOURCE_CONTINUE;
                },
                &dialogs);
            GtkWidget *item = menu_entry(label);
            ASSERT_NE(item, nullptr) << label;
            g_signal_emit_by_name(item, signal);
            g_source_remove(watch);
            EXPECT_EQ(dialogs, 1) << label << " " << signal;
            EXPECT_EQ(global_ofm->cur_operation, OPER_NONE) << label;
        }
    }
    for (const char *signal : {"activate", "insensitive-press"}) {
        bool shown = false;
        close_file_details_when_shown(&shown);
        g_signal_emit_by_name(menu_entry("Details"), signal);
        EXPECT_TRUE(shown) << signal;
        EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    }
}

TEST_F(ContextMenu, AFingerHeldOnARowOpensTheMenuForThatRow)
{
    enter(file_uri(docs_dir()));
    GtkTreeView *view = GTK_TREE_VIEW(kivel_file_selection_get_content_view(fs));
    select({doc("note.txt")});
    GList *rows = gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(view), nullptr);
    ASSERT_NE(rows, nullptr);
    GtkTreePath *note = gtk_tree_path_copy(static_cast<GtkTreePath *>(rows->data));
    g_list_free_full(rows, (GDestroyNotify)gtk_tree_path_free);
    // Another item is selected: the menu must be about the one pressed.
    select({doc("locked.txt")});

    int x = 0, y = 0;
    ASSERT_TRUE(pump_until([&] { return row_center(view, note, &x, &y); }));
    gtk_tree_path_free(note);
    ulvo_test::pointer_move_root(x, y);
    ulvo_test::pointer_press();
    ASSERT_TRUE(pump_until([&] {
        return global_ofm->popup_menu && gtk_widget_get_mapped(global_ofm->popup_menu);
    })) << x
        << "," << y << " menu " << global_ofm->popup_menu;
    ulvo_test::pointer_release();
    // The release of the finger that opened the menu leaves it open.
    ulvo_test::pump_for(200);
    ASSERT_NE(global_ofm->popup_menu, nullptr);
    EXPECT_TRUE(gtk_widget_get_mapped(global_ofm->popup_menu));
    EXPECT_EQ(shown_entries(), "Rename,Copy,Move,Delete,Details");

    // A tap on an entry runs its command on the pressed item.
    GtkWidget *details = menu_entry("Details");
    ASSERT_NE(details, nullptr);
    bool shown = false;
    close_file_details_when_shown(&shown);
    gint ox = 0, oy = 0;
    gdk_window_get_origin(gtk_widget_get_window(details), &ox, &oy);
    ulvo_test::pointer_move_root(ox + details->allocation.x + details->allocation.width / 2,
                                 oy + details->allocation.y + details->allocation.height / 2);
    ulvo_test::pointer_click();
    EXPECT_TRUE(pump_until([&] { return shown; }));
    EXPECT_FALSE(gtk_widget_get_mapped(global_ofm->popup_menu));
    GSList *selected = kivel_file_selection_get_selected_uris(fs);
    ASSERT_EQ(g_slist_length(selected), 1u);
    EXPECT_EQ(static_cast<const char *>(selected->data), doc("note.txt"));
    g_slist_free_full(selected, g_free);
}

TEST_F(ContextMenu, AnEditWindowGetsTheMenuOfItsMarkedItems)
{
    enter(file_uri(docs_dir()));
    GObject *model = nullptr;
    g_object_get(fs, "model", &model, NULL);
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget *edit = GTK_WIDGET(
        g_object_new(KIVEL_TYPE_FILE_SELECTION, "model", model, "edit-mode", TRUE, NULL));
    g_object_unref(model);
    gtk_container_add(GTK_CONTAINER(window), edit);
    gtk_widget_show_all(window);
    GtkTreeIter folder;
    ASSERT_TRUE(kivel_file_selection_get_current_folder_iter(fs, &folder));
    kivel_file_selection_set_current_folder_iter(KIVEL_FILE_SELECTION(edit), &folder);
    global_ofm->main_file_selection = global_ofm->file_selection;
    global_ofm->file_selection = edit;
    ulvo_fm_context_menu_attach(KIVEL_FILE_SELECTION(edit), global_ofm);

    // The main window's selection says nothing about the edit window's marks.
    select({doc("note.txt")});
    fs = KIVEL_FILE_SELECTION(edit);
    for (const char *name : {"note.txt", "locked.txt"})
        ASSERT_TRUE(
            pump_until([&] { return kivel_file_selection_select_uri(fs, doc(name).c_str()); }));
    g_object_set(fs, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    EXPECT_EQ(popup(), "(none)");
    kivel_file_selection_unselect_uri(fs, doc("note.txt").c_str());
    EXPECT_EQ(popup(), "Copy,Details");

    // The menu goes with the edit window.
    g_signal_emit_by_name(fs, "content-pane-context-menu");
    ASSERT_NE(global_ofm->popup_menu, nullptr);
    global_ofm->file_selection = global_ofm->main_file_selection;
    global_ofm->main_file_selection = nullptr;
    gtk_widget_destroy(window);
    EXPECT_EQ(global_ofm->popup_menu, nullptr);
}

// Memory cards: tmpfs mounts over /media in a private mount namespace.
class CardContextMenu : public ContextMenu
{
  protected:
    bool needs_browser_at_setup() override { return false; }

    // FALSE (with the test skipped) where cards cannot be mounted.
    bool mount_cards()
    {
        if (!g_file_test("/media", G_FILE_TEST_IS_DIR) ||
            !ulvo_test::mount_tmpfs("media", "/media"))
            return false;
        ulvo_test::make_dir("/media/mmc1");
        ulvo_test::make_dir("/media/mmc2");
        return ulvo_test::mount_tmpfs("cardone", "/media/mmc1") &&
               ulvo_test::mount_tmpfs("cardtwo", "/media/mmc2");
    }
};

TEST_F(CardContextMenu, CardRootsAndTheirItems)
{
    if (!ulvo_test::inside_private_mounts()) {
        ulvo_test::run_in_private_mounts();
        return;
    }
    if (!mount_cards())
        GTEST_SKIP() << "cannot mount a tmpfs over /media";
    ulvo_test::write_file("/media/mmc2/song.mp3", "s");
    start();

    // The first card is not copied whole; the second is.
    enter("file:///media/mmc1");
    EXPECT_EQ(popup(), "Rename,Details,Format");
    enter("file:///media/mmc2");
    EXPECT_EQ(popup(), "Rename,Copy,Details,Format");
    // Items on a card are moved and deleted through the edit windows.
    EXPECT_EQ(menu_for({"file:///media/mmc2/song.mp3"}), "Rename,Copy,Details");

    g_chmod("/media/mmc1", 0555);
    enter("file:///media/mmc1");
    EXPECT_EQ(popup(), "Details,Format");

    // Format asks first; a No leaves the card alone.
    g_signal_emit_by_name(fs, "content-pane-context-menu");
    GtkWidget *format = menu_entry("Format");
    ASSERT_NE(format, nullptr);
    std::string asked;
    guint answer = gdk_threads_add_timeout(
        20,
        +[](gpointer out) -> gboolean {
            GtkWidget *note = ulvo_test::find_showing_dialog();
            if (!note || !gtk_widget_get_mapped(note))
                return TRUE;
            *static_cast<std::string *>(out) = ulvo_test::collect_label_text(note);
            gtk_dialog_response(GTK_DIALOG(note), GTK_RESPONSE_CANCEL);
            return FALSE;
        },
        &asked);
    gtk_menu_item_activate(GTK_MENU_ITEM(format));
    if (asked.empty())
        g_source_remove(answer);
    EXPECT_NE(asked.find("Format the memory card?"), std::string::npos) << asked;
}
