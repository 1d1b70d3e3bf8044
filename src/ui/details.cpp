#include "ui/details.h"

#include "model/fm-assert.h"
#include "model/location.h"
#include "model/paths.h"
#include "platform/libulvo/ulvo.h"
#include "platform/toolkit/kivel-banner.h"
#include "platform/toolkit/kivel-caption.h"
#include "platform/toolkit/kivel-file-size.h"
#include "platform/toolkit/kivel-pannable.h"
#include "platform/selection/kivel-file-details-dialog.h"
#include "ui/dir-visit.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-info.h"

#include <libintl.h>
#include <locale.h>
#include <time.h>

namespace
{

const char kAppCatalog[] = "ulvo-filemanager";
const guint kTickMs = 100;
const gint kEntriesPerTick = 10;

typedef struct {
    guint64 total_size;
    gint files;
    gint folders;
} UlvoFmFolderCounts;

typedef struct {
    gchar *name;
    gchar *location;
    GdkPixbuf *location_icon;
    gchar *device;
    GdkPixbuf *device_icon;
    gchar *date;
    gchar *time;
    gboolean read_only;
    gboolean parent_read_only;
} UlvoFmDetailsInfo;

typedef struct {
    GtkWidget *dialog;
    GtkWidget *pannable;
    GtkWidget *name_label, *location_label, *location_image, *device_label, *device_image;
    GtkWidget *contents_label, *date_label, *time_label, *size_label, *read_only_label;
    gchar *path;
    UlvoFmDirVisit *visit;
    guint timer_id;
    UlvoFmDetailsInfo *info;
    UlvoFmFolderCounts *counts;
} UlvoFmFolderDetails;

const gchar *app_text(const gchar *id)
{
    return dcgettext(kAppCatalog, id, LC_MESSAGES);
}

// The singular text for exactly one, else the plural form the catalog
// chooses for `n`.
const gchar *count_part(const gchar *singular, const gchar *plural, gint n)
{
    if (n == 1)
        return app_text(singular);
    return dcngettext(kAppCatalog, singular, plural, static_cast<unsigned long>(n), LC_MESSAGES);
}

void count_entry(GFileInfo *info, gboolean *recurse, gpointer user_data)
{
    auto *counts = static_cast<UlvoFmFolderCounts *>(user_data);
    switch (g_file_info_get_file_type(info)) {
    case G_FILE_TYPE_REGULAR:
        counts->files++;
        break;
    case G_FILE_TYPE_DIRECTORY:
        counts->folders++;
        break;
    default:
        return;
    }
    goffset size = g_file_info_get_size(info);
    counts->total_size += size > 0 ? static_cast<guint64>(size) : 0;
    (void)recurse; // into every subfolder
}

void show_counts(UlvoFmFolderDetails *details)
{
    ulvo::GCharPtr contents(
        ulvo_fm_folder_contents_text(details->counts->folders, details->counts->files));
    gtk_label_set_text(GTK_LABEL(details->contents_label), contents.get());
    ulvo::GCharPtr size(kivel_format_file_size_for_display(
        static_cast<goffset>(MIN(details->counts->total_size, (guint64)G_MAXINT64))));
    gtk_label_set_text(GTK_LABEL(details->size_label), size.get());
}

gboolean on_count_tick(gpointer data)
{
    // Added with gdk_threads_add_timeout: the GDK lock is held here.
    auto *details = static_cast<UlvoFmFolderDetails *>(data);
    gboolean more = ulvo_fm_dir_visit_fetch_next(details->visit, kEntriesPerTick);
    show_counts(details);
    if (!more) {
        details->timer_id = 0;
        g_debug("folder details counted: %s, %s",
                gtk_label_get_text(GTK_LABEL(details->contents_label)),
                gtk_label_get_text(GTK_LABEL(details->size_label)));
    }
    return more;
}

void stop_counting(UlvoFmFolderDetails *details)
{
    if (details->timer_id) {
        g_source_remove(details->timer_id);
        details->timer_id = 0;
    }
    ulvo_fm_dir_visit_free(details->visit);
    details->visit = nullptr;
}

void on_details_response(GtkDialog *, gint, gpointer data)
{
    stop_counting(static_cast<UlvoFmFolderDetails *>(data));
}

void free_info(UlvoFmDetailsInfo *info)
{
    g_free(info->name);
    g_free(info->location);
    g_free(info->device);
    g_free(info->date);
    g_free(info->time);
    if (info->location_icon)
        g_object_unref(info->location_icon);
    if (info->device_icon)
        g_object_unref(info->device_icon);
    g_free(info);
}

// However the dialog goes, the count must not outlive its labels.
void on_details_destroy(GtkWidget *, gpointer data)
{
    auto *details = static_cast<UlvoFmFolderDetails *>(data);
    stop_counting(details);
    free_info(details->info);
    g_free(details->counts);
    g_free(details->path);
    g_free(details);
}

GtkWidget *left_label()
{
    GtkWidget *label = gtk_label_new("");
    gtk_misc_set_alignment(GTK_MISC(label), 0.0, 0.5);
    return label;
}

GtkWidget *icon_and_label(GtkWidget *image, GtkWidget *label)
{
    GtkWidget *box = gtk_hbox_new(FALSE, 8);
    gtk_box_pack_start(GTK_BOX(box), image, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
    return box;
}

void add_row(GtkWidget *vbox, GtkSizeGroup *group, const gchar *caption_id, GtkWidget *value)
{
    GtkWidget *row =
        kivel_caption_new(group, app_text(caption_id), value, nullptr, KIVEL_CAPTION_OPTIONAL);
    gtk_box_pack_start(GTK_BOX(vbox), row, FALSE, FALSE, 0);
}

void build_widgets(UlvoFmFolderDetails *details)
{
    details->pannable = kivel_pannable_area_new();
    GtkSizeGroup *group = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
    GtkWidget *vbox = gtk_vbox_new(FALSE, 0);
    details->name_label = left_label();
    details->location_label = left_label();
    details->device_label = left_label();
    details->contents_label = left_label();
    details->date_label = left_label();
    details->time_label = left_label();
    details->size_label = left_label();
    details->read_only_label = gtk_label_new("");
    details->location_image = gtk_image_new();
    details->device_image = gtk_image_new();

    add_row(vbox, group, "hfil_fi_folder_details_name", details->name_label);
    add_row(vbox, group, "hfil_fi_folder_details_location",
            icon_and_label(details->location_image, details->location_label));
    add_row(vbox, group, "hfil_fi_folder_details_device",
            icon_and_label(details->device_image, details->device_label));
    add_row(vbox, group, "hfil_fi_folder_details_contents", details->contents_label);
    add_row(vbox, group, "hfil_fi_folder_details_date", details->date_label);
    add_row(vbox, group, "hfil_fi_folder_details_time", details->time_label);
    add_row(vbox, group, "hfil_fi_folder_details_size", details->size_label);
    gtk_box_pack_start(GTK_BOX(vbox), details->read_only_label, FALSE, FALSE, 0);

    details->dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(details->dialog), app_text("hfil_ti_folder_details"));
    g_object_set(details->dialog, "has-separator", FALSE, NULL);
    gtk_window_set_resizable(GTK_WINDOW(details->dialog), FALSE);
    kivel_pannable_area_add_with_viewport(details->pannable, vbox);
    GtkWidget *content = gtk_dialog_get_content_area(GTK_DIALOG(details->dialog));
    gtk_box_pack_start(GTK_BOX(content), details->pannable, TRUE, TRUE, 0);
    gtk_widget_show_all(content);
    g_object_unref(group);
}

// Modification date and time of the folder, as the device shows them.
void read_dates(UlvoFmDetailsInfo *info, const gchar *uri)
{
    UlvoVfsFileInfo file_info = {};
    UlvoVfsResult result = ulvo_vfs_get_file_info(uri, &file_info, ULVO_VFS_FILE_INFO_FOLLOW_LINKS);
    bool have_mtime =
        result == ULVO_VFS_OK && (file_info.valid_fields & ULVO_VFS_FILE_INFO_FIELDS_MTIME);
    time_t mtime = have_mtime ? static_cast<time_t>(file_info.mtime) : 0;
    ulvo_vfs_file_info_clear(&file_info);
    if (!have_mtime)
        return;
    struct tm local;
    if (!localtime_r(&mtime, &local)) {
        info->date = g_strdup("");
        info->time = g_strdup("");
        return;
    }
    gchar time_text[40] = "";
    gchar date_text[35] = "";
    if (strftime(time_text, sizeof time_text, "%X", &local) == 0)
        time_text[0] = '\0';
    const gchar *date_format = dcgettext("kivel-libs", "wdgt_va_date", LC_MESSAGES);
    if (strftime(date_text, sizeof date_text, date_format, &local) == 0)
        date_text[0] = '\0';
    info->time = g_strdup(time_text);
    info->date = g_strdup(date_text);
}

void read_row(GtkTreeModel *model, GtkTreeIter *row, gchar **name, GdkPixbuf **icon)
{
    gtk_tree_model_get(model, row, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, name,
                       KIVEL_FILE_SYSTEM_MODEL_ICON, icon, -1);
}

// The row of the folder that holds `path`. The folder's own row gives it
// where the model has one; otherwise the current folder stands for it.
gboolean find_location_row(KivelFileSystemModel *model, KivelFileSelection *fs, const gchar *path,
                           GtkTreeIter *location)
{
    GtkTreeIter row;
    if (kivel_file_system_model_search_path(model, path, &row, nullptr, TRUE))
        return gtk_tree_model_iter_parent(GTK_TREE_MODEL(model), location, &row);
    GtkTreeIter current;
    if (!kivel_file_selection_get_current_folder_iter(fs, &current))
        return FALSE;
    if (kivel_file_selection_get_active_pane(fs) == KIVEL_FILE_SELECTION_PANE_CONTENT) {
        *location = current;
        return TRUE;
    }
    return gtk_tree_model_iter_parent(GTK_TREE_MODEL(model), location, &current);
}

void read_location_and_device(UlvoFmDetailsInfo *info, KivelFileSystemModel *model,
                              KivelFileSelection *fs, const gchar *path)
{
    GtkTreeModel *tree = GTK_TREE_MODEL(model);
    GtkTreeIter row;
    if (!find_location_row(model, fs, path, &row))
        return;
    read_row(tree, &row, &info->location, &info->location_icon);
    for (;;) {
        gint type = 0;
        gtk_tree_model_get(tree, &row, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type, -1);
        GtkTreeIter parent;
        if (type > KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_CAMERA ||
            !gtk_tree_model_iter_parent(tree, &parent, &row))
            break;
        row = parent;
    }
    read_row(tree, &row, &info->device, &info->device_icon);
}

void read_texts(UlvoFmFolderDetails *details)
{
    UlvoFmDetailsInfo *info = details->info;
    ulvo::GCharPtr uri(ulvo_fm_path_to_texturi(details->path));
    const gchar *texturi = uri ? uri.get() : details->path;
    KivelFileSystemModel *model = nullptr;
    GtkWidget *fs = global_ofm ? global_ofm->file_selection : nullptr;
    if (fs)
        g_object_get(fs, "model", &model, NULL);
    if (model)
        info->name = ulvo_fm_path_get_display_name(model, details->path);
    info->read_only = ulvo_fm_uri_is_readonly(texturi, FALSE);
    info->parent_read_only = ulvo_fm_uri_is_readonly(texturi, TRUE);
    read_dates(info, texturi);
    if (model) {
        read_location_and_device(info, model, KIVEL_FILE_SELECTION(fs), details->path);
        g_object_unref(model);
    }
}

void fill_widgets(UlvoFmFolderDetails *details)
{
    UlvoFmDetailsInfo *info = details->info;
    gtk_label_set_text(GTK_LABEL(details->name_label), info->name ? info->name : "");
    gtk_label_set_text(GTK_LABEL(details->location_label), info->location ? info->location : "");
    gtk_label_set_text(GTK_LABEL(details->device_label), info->device ? info->device : "");
    gtk_label_set_text(GTK_LABEL(details->date_label), info->date ? info->date : "");
    gtk_label_set_text(GTK_LABEL(details->time_label), info->time ? info->time : "");
    gtk_image_set_from_pixbuf(GTK_IMAGE(details->location_image), info->location_icon);
    gtk_image_set_from_pixbuf(GTK_IMAGE(details->device_image), info->device_icon);
    if (info->read_only)
        gtk_label_set_text(
            GTK_LABEL(details->read_only_label),
            dcgettext("ulvo-applet-memory", "sfil_fi_storage_details_readonly", LC_MESSAGES));
    if (info->parent_read_only || is_smb_share(details->path))
        gtk_widget_set_sensitive(details->read_only_label, FALSE);
}

void launch_memory_usage(UlvoFmApp *app)
{
    ulvo_cp_plugin_execute(fm_app_ctx, "libcpmemory.so", app->window, TRUE);
}

void show_file_details(UlvoFmApp *app)
{
    KivelFileSystemModel *model = nullptr;
    g_object_get(app->file_selection, "model", &model, NULL);
    if (!model) {
        g_warning("Error abtaining KivelFileSystemModel widget");
        return;
    }
    GtkTreeIter iter;
    if (kivel_file_selection_get_current_content_iter(KIVEL_FILE_SELECTION(app->file_selection),
                                                      &iter)) {
        details_dialog_open = TRUE;
        GtkWidget *dialog =
            kivel_file_details_dialog_new_with_model(GTK_WINDOW(app->window), model);
        kivel_file_details_dialog_set_file_iter(dialog, &iter);
        gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
    }
    g_object_unref(model);
}

void show_folder_details(UlvoFmApp *app)
{
    details_dialog_open = TRUE;
    GSList *selected = app->selection_info->current_selection;
    if (!selected)
        return;
    GtkWidget *dialog = create_FolderDetailsDialog(static_cast<const gchar *>(selected->data),
                                                   GTK_WINDOW(app->window));
    if (!GTK_IS_DIALOG(dialog))
        return;
    fm_register_dialog(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    fm_unregister_dialog(dialog);
    gtk_widget_destroy(dialog);
    // The menus follow the selection: let them look again.
    g_signal_emit_by_name(app->file_selection, "selection-changed");
}

void show_banner(const gchar *catalog, const gchar *id)
{
    fm_infoprint(GTK_WINDOW(global_ofm->window), dcgettext(catalog, id, LC_MESSAGES));
}

void show_details_of(UlvoFmApp *app, UlvoFmSelectionInfoType type)
{
    UlvoFmSelectionInfo *info = app->selection_info;
    switch (type) {
    case SIT_SINGLE_FILE:
        show_file_details(app);
        break;
    case SIT_SINGLE_FOLDER:
    case SIT_SINGLE_SAFE_FOLDER:
        show_folder_details(app);
        break;
    case SIT_MULTIPLE_FILES:
    case SIT_MULTIPLE_FOLDERS:
    case SIT_MULTIPLE_SAFE_FOLDERS:
    case SIT_FILES_AND_FOLDERS:
        show_banner("kivel-common-strings", "ckct_ib_select_single_item");
        break;
    case SIT_GATEWAY:
        if (info->in_gateway || info->in_media_server || info->in_samba_server) {
            show_banner("ulvo-backup", "back_fi_general_error");
            break;
        }
        details_dialog_open = TRUE;
        launch_memory_usage(app);
        break;
    case SIT_DEVICE_ROOT:
        details_dialog_open = TRUE;
        launch_memory_usage(app);
        break;
    default:
        break;
    }
}

} // namespace

gchar *ulvo_fm_folder_contents_text(gint folders, gint files)
{
    const gchar *folder_part = count_part("sfil_fi_folder_details_contents_folder",
                                          "sfil_fi_folder_details_contents_folders", folders);
    const gchar *file_part = count_part("sfil_fi_folder_details_contents_file",
                                        "sfil_fi_folder_details_contents_files", files);
    if (folders == 0 && files == 0)
        return g_strdup(app_text("sfil_fi_folder_details_contents_00"));
    if (folders == 0)
        return g_strdup_printf(file_part, files);
    if (files == 0)
        return g_strdup_printf(folder_part, folders);
    ulvo::GCharPtr format(
        g_strdup_printf(app_text("sfil_fi_folder_details_contents"), folder_part, file_part));
    return g_strdup_printf(format.get(), folders, files);
}

GtkWidget *create_FolderDetailsDialog(const gchar *path, GtkWindow *parent)
{
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", nullptr);
    auto *details = g_new0(UlvoFmFolderDetails, 1);
    build_widgets(details);
    details->path = g_strdup(path);
    details->counts = g_new0(UlvoFmFolderCounts, 1);
    details->info = g_new0(UlvoFmDetailsInfo, 1);
    ulvo::GCharPtr uri(ulvo_fm_path_to_texturi(path));
    details->visit = ulvo_fm_dir_visit_init(uri ? uri.get() : path, count_entry, details->counts);
    read_texts(details);
    fill_widgets(details);

    g_signal_connect(details->dialog, "response", G_CALLBACK(on_details_response), details);
    g_signal_connect(details->dialog, "destroy", G_CALLBACK(on_details_destroy), details);
    details->timer_id = gdk_threads_add_timeout(kTickMs, on_count_tick, details);
    gtk_window_set_transient_for(GTK_WINDOW(details->dialog), parent);
    GdkGeometry hints = {};
    hints.min_width = hints.max_width = 430;
    hints.min_height = hints.max_height = 305;
    gtk_window_set_geometry_hints(
        GTK_WINDOW(details->dialog), details->dialog, &hints,
        static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
    return details->dialog;
}

void ulvo_fm_show_details(UlvoFmApp *app)
{
    FM_RETURN_IF_FAIL(app != NULL, "app != NULL");
    ulvo_fm_update_selection_info(app->selection_info, KIVEL_FILE_SELECTION(app->file_selection),
                                  TRUE);
    show_details_of(app, ulvo_fm_selection_info_get_selection_type(app->selection_info));
    details_dialog_open = FALSE;
}
