#include "app/ulvo-fm-browser.h"

#include "app/file-manager1.h"
#include "app/rpc.h"
#include "app/session-state.h"
#include "app/ulvo-fm-app.h"
#include "app/ulvo-fm-context-menu.h"
#include "app/ulvo-fm-menu.h"
#include "model/app-record.h"
#include "model/fm-assert.h"
#include "model/path-label.h"
#include "platform/toolkit/kivel-button.h"
#include "platform/toolkit/kivel-program.h"
#include "settings/folder-state.h"
#include "settings/sort-dialog.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <gdk/gdkkeysyms.h>
#include <libintl.h>
#include <string.h>

using ulvo::GCharPtr;
using ulvo::GUriList;

static const char *const FOLDER_STATE_DIR = "~/.ulvo/ULVO_FILEMANAGER";
static const char *const FOLDER_STATE_FILE = "~/.ulvo/ULVO_FILEMANAGER/Folderstate";
static const gint DEFAULT_PANE_POSITION = 250;
static const guint CONSTRUCTION_INTERVAL_MS = 50;

G_DEFINE_TYPE(UlvoFmBrowser, ulvo_fm_browser, KIVEL_TYPE_STACKABLE_WINDOW)

static void ulvo_fm_browser_finalize(GObject *object);
static void ulvo_fm_browser_destroy(GtkObject *object);

static void ulvo_fm_browser_class_init(UlvoFmBrowserClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = ulvo_fm_browser_finalize;
    GTK_OBJECT_CLASS(klass)->destroy = ulvo_fm_browser_destroy;
}

static void ulvo_fm_browser_init(UlvoFmBrowser *browser)
{
    browser->main_menu = nullptr;
    browser->popup_menu = nullptr;
    browser->file_selection = nullptr;

    browser->selection_info = ulvo_fm_selection_info_new();
    if (global_ofm)
        global_ofm->selection_info = browser->selection_info;

    kivel_program_add_window(kivel_program_get_instance(), GTK_WINDOW(browser));
    gtk_window_set_title(GTK_WINDOW(browser), dgettext("ulvo-filemanager", "sfil_ap_name"));

    browser->construction_step = 0;
    browser->construction_timeout_id =
        g_timeout_add(CONSTRUCTION_INTERVAL_MS, ulvo_fm_browser_construction_timeout_cb, browser);
}

// ---- Header row and folder-up action --------------------------------------

// Up from a top-level row is the top level itself, where the memory cards
// and other devices are; the folder just left comes back selected.
static void on_folder_up_clicked(GtkButton *button, gpointer data)
{
    auto *ofm = static_cast<UlvoFmApp *>(data);
    if (!ofm || !ofm->file_selection)
        return;
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(ofm->file_selection);
    update_current_selection_state(fs);

    GtkTreeModel *model = nullptr;
    g_object_get(fs, "model", &model, NULL);
    if (!model)
        return;
    GtkTreeIter current, parent;
    if (!kivel_file_selection_get_current_folder_iter(fs, &current)) {
        gtk_widget_set_sensitive(GTK_WIDGET(button), FALSE);
        g_object_unref(model);
        return;
    }
    GCharPtr left(kivel_file_selection_get_current_folder_uri(fs));
    gboolean has_parent = gtk_tree_model_iter_parent(model, &parent, &current);
    kivel_file_selection_set_current_folder_iter(fs, has_parent ? &parent : nullptr);
    if (left)
        kivel_file_selection_move_cursor_to_uri(fs, left.get());
    g_object_unref(model);
}

static void on_folder_activated(KivelFileSelection *fs, gpointer)
{
    if (!global_ofm)
        return;
    ulvo_fm_update_path_label(fs, global_ofm->folder_up_button, global_ofm->path_label);
    ulvo_fm_apply_path_preferences(fs, global_ofm->keyfile);
}

static GtkWidget *build_folder_up_button(void)
{
    GtkWidget *button = kivel_button_new(4, 0);
    GtkWidget *image = gtk_image_new_from_icon_name("filemanager_folder_up",
                                                    gtk_icon_size_from_name("kivel-finger"));
    kivel_button_set_image(GTK_BUTTON(button), image);
    gtk_button_set_alignment(GTK_BUTTON(button), 0.0, 0.5);
    g_signal_connect(button, "clicked", G_CALLBACK(on_folder_up_clicked), global_ofm);
    gtk_widget_show(button);
    return button;
}

static GtkWidget *build_path_label(void)
{
    GtkWidget *label = gtk_label_new(nullptr);
    g_object_set(label, "xalign", 0.0, NULL);
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_START);
    gtk_widget_show(label);
    return label;
}

GtkWidget *ulvo_fm_browser_get_file_selection(UlvoFmBrowser *browser)
{
    FM_RETURN_VAL_IF_FAIL(ULVO_FM_IS_BROWSER(browser), "ULVO_FM_IS_BROWSER (browser)", NULL);
    if (browser->file_selection)
        return browser->file_selection;

    GtkTreeModel *model = kivel_file_system_model_new(GTK_WIDGET(browser));
    GtkWidget *fs =
        GTK_WIDGET(g_object_new(KIVEL_TYPE_FILE_SELECTION, "model", model, "drag-enabled", FALSE,
                                "show-files", TRUE, "show-upnp", TRUE, "hide-navi", TRUE, NULL));
    g_object_unref(model); // the file selection holds it
    kivel_file_selection_set_column_headers(KIVEL_FILE_SELECTION(fs), TRUE);

    GObject *backend = nullptr;
    g_object_get(model, "backend-object", &backend, NULL);
    if (global_ofm)
        global_ofm->filesystem = KIVEL_FILE_SYSTEM_BACKEND(backend);
    if (backend)
        g_object_unref(backend); // the model keeps it alive

    GtkWidget *button = build_folder_up_button();
    GtkWidget *label = build_path_label();

    GtkWidget *row = gtk_hbox_new(FALSE, 8);
    gtk_box_pack_start(GTK_BOX(row), button, FALSE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 8);
    GtkWidget *vbox = gtk_vbox_new(FALSE, 8);
    gtk_box_pack_start(GTK_BOX(vbox), row, FALSE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(vbox), fs, TRUE, TRUE, 8);
    gtk_widget_show_all(vbox);
    gtk_container_add(GTK_CONTAINER(browser), vbox);

    // Held until finalization, so that the handlers can be disconnected then.
    browser->file_selection = GTK_WIDGET(g_object_ref(fs));
    browser->folder_up_button = button;
    browser->path_label = label;
    if (global_ofm) {
        global_ofm->file_selection = fs;
        global_ofm->folder_up_button = button;
        global_ofm->path_label = label;
    }

    g_signal_connect(fs, "folder-activated", G_CALLBACK(on_folder_activated), nullptr);
    ulvo_fm_update_path_label(KIVEL_FILE_SELECTION(fs), button, label);

    GTK_WIDGET_UNSET_FLAGS(fs, GTK_CAN_FOCUS);
    gtk_widget_show(fs);
    return fs;
}

// ---- Keys ------------------------------------------------------------------

static gboolean is_enter_key(guint keyval)
{
    return keyval == GDK_Return || keyval == GDK_KP_Enter || keyval == GDK_ISO_Enter;
}

static gboolean on_key_press(GtkWidget *, GdkEventKey *event, gpointer data)
{
    if (!event || event->keyval == 0 || !data)
        return FALSE;
    if (!is_enter_key(event->keyval))
        return FALSE;
    if (!global_ofm || !global_ofm->file_selection)
        return FALSE;
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(global_ofm->file_selection);
    GUriList uris(kivel_file_selection_get_selected_uris(fs));
    gboolean modifier_held = (event->state & gtk_accelerator_get_default_mod_mask()) != 0;
    if (!modifier_held && g_slist_length(uris.get()) >= 2) {
        g_signal_emit_by_name(fs, "file-activated");
        return TRUE;
    }
    return FALSE;
}

static gboolean on_key_release(GtkWidget *, GdkEventKey *event, gpointer data)
{
    if (!event || event->keyval == 0 || !data)
        return FALSE;
    if (event->keyval != GDK_Left && event->keyval != GDK_Right)
        return FALSE;
    if (!global_ofm || !global_ofm->file_selection)
        return FALSE;
    GtkWidget *fs = global_ofm->file_selection;
    // Setting the pane again moves the keyboard focus back into it.
    gint pane = kivel_file_selection_get_active_pane(KIVEL_FILE_SELECTION(fs));
    if (event->keyval == GDK_Left && pane == KIVEL_FILE_SELECTION_PANE_NAVIGATION)
        g_object_set(fs, "active-pane", KIVEL_FILE_SELECTION_PANE_NAVIGATION, NULL);
    pane = kivel_file_selection_get_active_pane(KIVEL_FILE_SELECTION(fs));
    if (pane == KIVEL_FILE_SELECTION_PANE_CONTENT)
        g_object_set(fs, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    return FALSE;
}

// ---- Selection, pane and folder changes -------------------------------------

void ulvo_fm_browser_selection_changed_cb(KivelFileSelection *, gpointer data)
{
    UlvoFmBrowser *browser = ULVO_FM_BROWSER(data);
    FM_RETURN_IF_FAIL(browser->selection_info, "browser->selection_info");
    ulvo_fm_selection_info_mark_stale(browser->selection_info);
    ulvo_fm_invalidate_selection_state();
    fm_check_registered_dialog(global_ofm);
}

static void on_active_pane_changed(GObject *fs, GParamSpec *, gpointer)
{
    ulvo_fm_invalidate_selection_state();
    g_signal_emit_by_name(fs, "selection-changed");
}

static void on_current_folder_changed(KivelFileSelection *fs, gpointer)
{
    kivel_file_selection_undim_all(fs);
    if (ulvo_fm_count_current_folder_items(fs) == 0)
        g_signal_emit_by_name(fs, "selection-changed");
}

// ---- Foreground and background -----------------------------------------------

static void on_topmost_changed(GObject *window, GParamSpec *, gpointer data)
{
    KivelProgram *program = KIVEL_PROGRAM(data);
    UlvoFmBrowser *browser = ULVO_FM_BROWSER(window);
    gboolean topmost = FALSE;
    g_object_get(window, "is-topmost", &topmost, NULL);

    if (topmost) {
        not_topmost = FALSE;
        kivel_program_set_can_hibernate(program, FALSE);
        browser->keyfile =
            ulvo_fm_key_file_init(browser->keyfile, FOLDER_STATE_DIR, FOLDER_STATE_FILE);
        if (global_ofm)
            global_ofm->keyfile = browser->keyfile;
        return;
    }

    not_topmost = TRUE;
    ulvo_fm_write_state();
    ulvo::GCharPtr folder;
    if (global_ofm && global_ofm->file_selection)
        folder.reset(kivel_file_selection_get_current_folder_uri(
            KIVEL_FILE_SELECTION(global_ofm->file_selection)));
    if (!folder) {
        g_critical("Error obtaining the currently selected URI");
        return;
    }
    // Saved before hibernation is allowed: the platform may stop the program
    // right after that.
    if (browser->keyfile)
        ulvo_fm_key_file_save(browser->keyfile, FOLDER_STATE_DIR, FOLDER_STATE_FILE);
    ulvo_fm_allow_hibernation_in_background(global_ofm, folder.get());
}

// A folder asked for on a card that was not there is shown once the card's
// volume appears, whether it is the card itself or a folder on it.
static gboolean pending_folder_on_volume(const gchar *volume_uri)
{
    if (g_strcmp0(volume_uri, pending_folder_uri) == 0)
        return TRUE;
    if (!g_str_has_prefix(pending_folder_uri, volume_uri))
        return FALSE;
    if (pending_folder_uri[strlen(volume_uri)] != '/')
        return FALSE;
    return ulvo_vfs_uri_exists(pending_folder_uri);
}

static void on_volume_mounted(KivelFileSystemModel *, const gchar *uri, gpointer)
{
    if (!uri || !pending_folder_uri || !pending_folder_on_volume(uri))
        return;
    ulvo_fm_show_pending_folder();
}

// ---- Staged construction -------------------------------------------------------

static gint read_pane_position(GKeyFile *keyfile)
{
    if (!keyfile)
        return DEFAULT_PANE_POSITION;
    GError *error = nullptr;
    gint position = g_key_file_get_integer(keyfile, "ui", "pane_position", &error);
    if (error) {
        g_error_free(error);
        return DEFAULT_PANE_POSITION;
    }
    return position < 1 ? DEFAULT_PANE_POSITION : position;
}

static void construct_folder_state_and_file_selection(UlvoFmBrowser *browser)
{
    browser->keyfile = ulvo_fm_key_file_init(browser->keyfile, FOLDER_STATE_DIR, FOLDER_STATE_FILE);
    if (global_ofm)
        global_ofm->keyfile = browser->keyfile;

    gdk_threads_enter();
    GtkWidget *fs = ulvo_fm_browser_get_file_selection(browser);
    kivel_file_selection_show_content_pane(KIVEL_FILE_SELECTION(fs));
    kivel_file_selection_hide_navigation_pane(KIVEL_FILE_SELECTION(fs));
    g_object_set(fs, "pane-position", read_pane_position(browser->keyfile), NULL);
    gdk_threads_leave();
}

static void construct_start_folder_and_menu(UlvoFmBrowser *browser)
{
    gdk_threads_enter();
    GtkWidget *fs = browser->file_selection;
    GtkTreeModel *model = nullptr;
    g_object_get(fs, "model", &model, NULL);

    // The browser always starts at the top of the tree.
    GCharPtr current(kivel_file_selection_get_current_folder_uri(KIVEL_FILE_SELECTION(fs)));
    GtkTreeIter first;
    if (current && model && gtk_tree_model_get_iter_first(model, &first))
        kivel_file_selection_set_current_folder_iter(KIVEL_FILE_SELECTION(fs), &first);

    kivel_window_set_app_menu(KIVEL_WINDOW(browser), ulvo_fm_browser_get_main_menu(browser));
    ulvo_fm_set_selection_uri("");
    ulvo_fm_set_fullscreen_flag(FALSE);

    if (model) {
        g_signal_connect(model, "voldev-mounted", G_CALLBACK(on_volume_mounted), nullptr);
        g_object_unref(model);
    }
    gdk_threads_leave();
}

// FALSE when the staged construction must end here.
static gboolean construct_platform_context(void)
{
    fm_app_ctx = ulvo_initialize("ulvo_filemanager", "0.4.6", TRUE, nullptr);
    if (!fm_app_ctx) {
        g_return_if_fail_warning(G_LOG_DOMAIN, "ulvo_fm_browser_construction_timeout_cb",
                                 "fm_app_ctx != NULL");
        return FALSE;
    }
    if (ulvo_rpc_set_default_cb_f(fm_app_ctx, ulvo_fm_rpc_handler, kivel_program_get_instance()) !=
        ULVO_OK) {
        g_critical("Failed to register File Manager RPC");
        ulvo_deinitialize(fm_app_ctx);
        fm_app_ctx = nullptr;
    }
    ulvo_fm_file_manager1_start();
    return TRUE;
}

static void construct_wiring_and_show(UlvoFmBrowser *browser)
{
    gdk_threads_enter();
    GtkWidget *fs = browser->file_selection;
    GTK_WIDGET_SET_FLAGS(GTK_WIDGET(browser), GTK_CAN_FOCUS);
    GTK_WIDGET_SET_FLAGS(fs, GTK_CAN_FOCUS);
    GtkWidget *parent = gtk_widget_get_parent(fs);
    if (parent)
        GTK_WIDGET_UNSET_FLAGS(parent, GTK_CAN_FOCUS);

    gpointer program = kivel_program_get_instance();
    g_signal_connect(browser, "key-release-event", G_CALLBACK(on_key_release), program);
    g_signal_connect(browser, "key-press-event", G_CALLBACK(on_key_press), program);
    g_signal_connect(browser, "notify::is-topmost", G_CALLBACK(on_topmost_changed), program);

    g_object_connect(
        fs, "signal::navigation-pane-context-menu", G_CALLBACK(ulvo_fm_popup_context_menu),
        global_ofm, "signal::content-pane-context-menu", G_CALLBACK(ulvo_fm_popup_context_menu),
        global_ofm, "signal::file-activated", G_CALLBACK(on_menu_file_open_activate), global_ofm,
        "signal::selection-changed", G_CALLBACK(ulvo_fm_browser_selection_changed_cb), browser,
        "signal::current-folder-changed", G_CALLBACK(on_current_folder_changed), browser,
        "signal::notify::active-pane", G_CALLBACK(on_active_pane_changed), browser, NULL);

    gtk_widget_show_all(GTK_WIDGET(browser));
    ulvo_fm_update_path_label(KIVEL_FILE_SELECTION(fs), browser->folder_up_button,
                              browser->path_label);
    gdk_threads_leave();
}

// Lets a script that started the program wait for the finished window.
static void announce_construction_finished(void)
{
    const gchar *ready_file = g_getenv("ULVO_FM_READY_FILE");
    if (ready_file && !g_file_set_contents(ready_file, "", 0, nullptr))
        g_warning("Unable to write %s", ready_file);
}

static void construct_restore(void)
{
    gdk_threads_enter();
    kivel_program_set_can_hibernate(kivel_program_get_instance(), FALSE);
    ulvo_fm_read_state();
    // A folder asked for meanwhile wins over the restored one.
    if (pending_folder_uri && !details_dialog_open)
        ulvo_fm_select_texturi_with_time(pending_folder_uri, 0);
    gdk_threads_leave();
    announce_construction_finished();
}

// Runs one stage; TRUE while stages are left.
static gboolean run_construction_stage(UlvoFmBrowser *browser)
{
    gint step = browser->construction_step++;
    switch (step) {
    case 0:
        construct_folder_state_and_file_selection(browser);
        return TRUE;
    case 1:
        construct_start_folder_and_menu(browser);
        return TRUE;
    case 2:
        return construct_platform_context();
    case 3:
        construct_wiring_and_show(browser);
        return TRUE;
    case 4:
        return TRUE;
    case 5:
        construct_restore();
        return FALSE;
    default:
        g_assertion_message_expr(G_LOG_DOMAIN, "ulvo-fm-browser", 935,
                                 "ulvo_fm_browser_construction_timeout_cb", nullptr);
        return FALSE;
    }
}

gboolean ulvo_fm_browser_construction_timeout_cb(gpointer data)
{
    // A destroyed window is not touched again; finalization removes the
    // timeout, so `browser` is still alive here.
    UlvoFmBrowser *browser = ULVO_FM_BROWSER(data);
    if (!shutting_down && run_construction_stage(browser))
        return TRUE;
    browser->construction_timeout_id = 0;
    return FALSE;
}

// ---- Destruction ------------------------------------------------------------------

static void ulvo_fm_browser_destroy(GtkObject *object)
{
    UlvoFmBrowser *browser = ULVO_FM_BROWSER(object);
    if (browser->destroyed) {
        GTK_OBJECT_CLASS(ulvo_fm_browser_parent_class)->destroy(object);
        return;
    }
    browser->destroyed = TRUE;
    shutting_down = TRUE;
    gdk_flush();

    if (fm_app_ctx)
        clear_fm_state();
    if (browser->keyfile) {
        ulvo_fm_key_file_save(browser->keyfile, FOLDER_STATE_DIR, FOLDER_STATE_FILE);
        g_key_file_free(browser->keyfile);
        browser->keyfile = nullptr;
        if (global_ofm)
            global_ofm->keyfile = nullptr;
    }
    ulvo_fm_file_manager1_stop();
    if (fm_app_ctx) {
        ulvo_deinitialize(fm_app_ctx);
        fm_app_ctx = nullptr;
    }
    FM_RETURN_IF_FAIL(browser->selection_info != NULL, "browser->selection_info != NULL");
    ulvo_fm_selection_info_free(browser->selection_info);
    browser->selection_info = nullptr;
    if (global_ofm) {
        global_ofm->selection_info = nullptr;
        // Nothing may reach the window's parts once they are gone.
        if (global_ofm->file_selection == browser->file_selection)
            global_ofm->file_selection = nullptr;
        global_ofm->main_file_selection = nullptr;
        global_ofm->window = nullptr;
        global_ofm->folder_up_button = nullptr;
        global_ofm->path_label = nullptr;
    }

    if (gtk_main_level() != 0)
        gtk_main_quit();
    GTK_OBJECT_CLASS(ulvo_fm_browser_parent_class)->destroy(object);
}

static void ulvo_fm_browser_finalize(GObject *object)
{
    UlvoFmBrowser *browser = ULVO_FM_BROWSER(object);
    if (browser->file_selection) {
        // Only those that stage 3 connected are there to disconnect.
        const struct {
            GCallback handler;
            gpointer data;
        } handlers[] = {{G_CALLBACK(ulvo_fm_popup_context_menu), global_ofm},
                        {G_CALLBACK(on_menu_file_open_activate), global_ofm},
                        {G_CALLBACK(ulvo_fm_browser_selection_changed_cb), browser},
                        {G_CALLBACK(on_current_folder_changed), browser},
                        {G_CALLBACK(on_active_pane_changed), browser}};
        for (const auto &h : handlers)
            g_signal_handlers_disconnect_by_func(browser->file_selection, (gpointer)h.handler,
                                                 h.data);
        g_object_unref(browser->file_selection);
        browser->file_selection = nullptr;
    }
    if (browser->main_menu) {
        g_signal_handlers_disconnect_by_func(browser->main_menu,
                                             (gpointer)ulvo_fm_browser_menu_show_cb, browser);
        g_object_unref(browser->main_menu);
        browser->main_menu = nullptr;
    }
    if (browser->popup_menu)
        g_object_unref(browser->popup_menu);
    if (browser->construction_timeout_id)
        g_source_remove(browser->construction_timeout_id);
    G_OBJECT_CLASS(ulvo_fm_browser_parent_class)->finalize(object);
}
