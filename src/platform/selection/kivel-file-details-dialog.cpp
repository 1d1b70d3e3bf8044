#define G_LOG_DOMAIN "Kivel"

#include "platform/selection/kivel-file-details-dialog.h"

#include "platform/toolkit/kivel-button.h"
#include "platform/toolkit/kivel-file-size.h"
#include "platform/toolkit/kivel-pannable.h"
#include "vfs/glib-ptr.h"

#include <gio/gio.h>
#include <libintl.h>
#include <locale.h>
#include <string.h>

enum {
    FIELD_NAME,
    FIELD_TYPE,
    FIELD_LOCATION,
    FIELD_SIZE,
    FIELD_MODIFIED,
    FIELD_READ_ONLY,
    FIELD_PERMISSIONS,
    N_FIELDS
};

// "kivel-fm" identifiers of the fields' titles, in field order.
static const gchar *const field_titles[N_FIELDS] = {
    "sfil_fi_details_name",       "sfil_fi_details_type",     "sfil_fi_details_location",
    "sfil_fi_details_size",       "sfil_fi_details_modified", "sfil_fi_details_read_only",
    "sfil_fi_details_permissions"};

struct _KivelFileDetailsDialog {
    GtkDialog parent;
    KivelFileSystemModel *model;
    GtkTreeRowReference *row;
    gchar *uri; // of the item shown, also once its row is gone
    GtkWidget *values[N_FIELDS];
    GtkWidget *gone_label;
    GCancellable *query;
    gulong handlers[3];
};

struct _KivelFileDetailsDialogClass {
    GtkDialogClass parent_class;
};

G_DEFINE_TYPE(KivelFileDetailsDialog, kivel_file_details_dialog, GTK_TYPE_DIALOG)

static const gchar *text(const gchar *id)
{
    return dcgettext("kivel-fm", id, LC_MESSAGES);
}

static void set_value(KivelFileDetailsDialog *self, int field, const gchar *value)
{
    gtk_label_set_text(GTK_LABEL(self->values[field]), value ? value : "");
}

// ---- texts of a row ----

// (transfer full) "rwxr-xr-x" of a mode.
static gchar *mode_text(guint32 mode)
{
    static const char letters[] = "rwxrwxrwx";
    gchar *result = g_strdup("---------");
    for (int bit = 0; bit < 9; bit++)
        if (mode & (1u << (8 - bit)))
            result[bit] = letters[bit];
    return result;
}

// (transfer full) The local date and time of `seconds`, as the catalogs write them.
static gchar *date_text(gint64 seconds)
{
    GDateTime *when = g_date_time_new_from_unix_local(seconds);
    if (!when)
        return g_strdup("");
    const gchar *date_format = dcgettext("kivel-libs", "wdgt_va_date", LC_MESSAGES);
    if (!strchr(date_format, '%'))
        date_format = "%x";
    ulvo::GCharPtr date(g_date_time_format(when, date_format));
    ulvo::GCharPtr time(g_date_time_format(when, "%X"));
    g_date_time_unref(when);
    return g_strdup_printf("%s %s", date ? date.get() : "", time ? time.get() : "");
}

// (transfer full) What the type of the row's item is called.
static gchar *type_text(const gchar *mime, gboolean is_folder)
{
    const gchar *type = mime ? mime : (is_folder ? "inode/directory" : nullptr);
    if (!type)
        return g_strdup(text("sfil_va_details_unknown"));
    ulvo::GCharPtr content_type(g_content_type_from_mime_type(type));
    return g_content_type_get_description(content_type ? content_type.get() : type);
}

// (transfer full) The name of the folder that holds the row's item.
static gchar *location_text(KivelFileDetailsDialog *self, GtkTreeIter *iter, const gchar *uri)
{
    GtkTreeIter parent;
    if (gtk_tree_model_iter_parent(GTK_TREE_MODEL(self->model), &parent, iter)) {
        gchar *name = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(self->model), &parent,
                           KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, &name, -1);
        if (name)
            return name;
    }
    ulvo::GObjPtr<GFile> file(g_file_new_for_uri(uri));
    ulvo::GObjPtr<GFile> folder(g_file_get_parent(file.get()));
    return folder ? g_file_get_parse_name(folder.get()) : g_strdup("");
}

static void on_permissions_read(GObject *source, GAsyncResult *result, gpointer data)
{
    ulvo::ErrorOut error;
    ulvo::GObjPtr<GFileInfo> info(g_file_query_info_finish(G_FILE(source), result, error.out()));
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED))
        return; // the dialog went, or shows another state
    gdk_threads_enter();
    auto *self = KIVEL_FILE_DETAILS_DIALOG(data);
    if (info && g_file_info_has_attribute(info.get(), G_FILE_ATTRIBUTE_UNIX_MODE)) {
        ulvo::GCharPtr mode(
            mode_text(g_file_info_get_attribute_uint32(info.get(), G_FILE_ATTRIBUTE_UNIX_MODE)));
        set_value(self, FIELD_PERMISSIONS, mode.get());
    } else {
        set_value(self, FIELD_PERMISSIONS, text("sfil_va_details_unknown"));
    }
    gdk_threads_leave();
}

// Permissions come from the disk, without holding the window up.
static void read_permissions(KivelFileDetailsDialog *self)
{
    if (self->query)
        g_cancellable_cancel(self->query);
    g_clear_object(&self->query);
    self->query = g_cancellable_new();
    ulvo::GObjPtr<GFile> file(g_file_new_for_uri(self->uri));
    g_file_query_info_async(file.get(), G_FILE_ATTRIBUTE_UNIX_MODE,
                            G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, G_PRIORITY_DEFAULT, self->query,
                            on_permissions_read, self);
}

static void show_row(KivelFileDetailsDialog *self, GtkTreeIter *iter)
{
    GtkTreeModel *model = GTK_TREE_MODEL(self->model);
    gchar *uri = nullptr, *name = nullptr, *mime = nullptr;
    gint64 size = 0, mtime = 0;
    gboolean is_folder = FALSE, read_only = FALSE;
    gtk_tree_model_get(
        model, iter, KIVEL_FILE_SYSTEM_MODEL_URI, &uri, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, &name,
        KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE, &mime, KIVEL_FILE_SYSTEM_MODEL_SIZE, &size,
        KIVEL_FILE_SYSTEM_MODEL_MTIME, &mtime, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER, &is_folder,
        KIVEL_FILE_SYSTEM_MODEL_IS_READONLY, &read_only, -1);
    ulvo::GCharPtr hold_name(name), hold_mime(mime);
    g_free(self->uri);
    self->uri = uri;
    if (!uri)
        return;
    set_value(self, FIELD_NAME, name);
    ulvo::GCharPtr type(type_text(mime, is_folder));
    set_value(self, FIELD_TYPE, type.get());
    ulvo::GCharPtr location(location_text(self, iter, uri));
    set_value(self, FIELD_LOCATION, location.get());
    ulvo::GCharPtr shown_size(kivel_format_file_size_for_display(size));
    set_value(self, FIELD_SIZE, shown_size.get());
    ulvo::GCharPtr date(date_text(mtime));
    set_value(self, FIELD_MODIFIED, date.get());
    set_value(self, FIELD_READ_ONLY,
              text(read_only ? "sfil_va_details_yes" : "sfil_va_details_no"));
    gtk_widget_hide(self->gone_label);
    read_permissions(self);
}

// ---- following the row ----

static bool is_shown_row(KivelFileDetailsDialog *self, GtkTreePath *path)
{
    GtkTreePath *shown = self->row ? gtk_tree_row_reference_get_path(self->row) : nullptr;
    bool same = shown && gtk_tree_path_compare(shown, path) == 0;
    if (shown)
        gtk_tree_path_free(shown);
    return same;
}

static void follow_row(KivelFileDetailsDialog *self, GtkTreeIter *iter)
{
    if (self->row)
        gtk_tree_row_reference_free(self->row);
    GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(self->model), iter);
    self->row = gtk_tree_row_reference_new(GTK_TREE_MODEL(self->model), path);
    gtk_tree_path_free(path);
    show_row(self, iter);
}

static void on_row_changed(GtkTreeModel *, GtkTreePath *path, GtkTreeIter *iter, gpointer data)
{
    auto *self = KIVEL_FILE_DETAILS_DIALOG(data);
    if (is_shown_row(self, path))
        show_row(self, iter);
}

static void on_row_deleted(GtkTreeModel *, GtkTreePath *, gpointer data)
{
    auto *self = KIVEL_FILE_DETAILS_DIALOG(data);
    if (!self->row || gtk_tree_row_reference_valid(self->row))
        return;
    g_clear_pointer(&self->row, gtk_tree_row_reference_free);
    if (self->query)
        g_cancellable_cancel(self->query);
    gtk_widget_show(self->gone_label);
}

// An item replaced on disk may come back as a new row.
static void on_row_inserted(GtkTreeModel *model, GtkTreePath *, GtkTreeIter *iter, gpointer data)
{
    auto *self = KIVEL_FILE_DETAILS_DIALOG(data);
    if (self->row || !self->uri)
        return;
    gchar *uri = nullptr;
    gtk_tree_model_get(model, iter, KIVEL_FILE_SYSTEM_MODEL_URI, &uri, -1);
    ulvo::GCharPtr hold(uri);
    if (uri && strcmp(uri, self->uri) == 0)
        follow_row(self, iter);
}

static void forget_model(KivelFileDetailsDialog *self)
{
    if (self->query)
        g_cancellable_cancel(self->query);
    g_clear_object(&self->query);
    g_clear_pointer(&self->row, gtk_tree_row_reference_free);
    if (!self->model)
        return;
    for (gulong &handler : self->handlers) {
        if (handler)
            g_signal_handler_disconnect(self->model, handler);
        handler = 0;
    }
    g_clear_object(&self->model);
}

// ---- the object ----

static GtkWidget *build_fields(KivelFileDetailsDialog *self)
{
    GtkWidget *table = gtk_table_new(N_FIELDS, 2, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(table), 16);
    gtk_table_set_row_spacings(GTK_TABLE(table), 12);
    gtk_container_set_border_width(GTK_CONTAINER(table), 8);
    for (int field = 0; field < N_FIELDS; field++) {
        GtkWidget *title = gtk_label_new(text(field_titles[field]));
        gtk_misc_set_alignment(GTK_MISC(title), 1.0f, 0.0f);
        gtk_table_attach(GTK_TABLE(table), title, 0, 1, field, field + 1, GTK_FILL, GTK_FILL, 0, 0);
        self->values[field] = gtk_label_new(nullptr);
        gtk_misc_set_alignment(GTK_MISC(self->values[field]), 0.0f, 0.0f);
        gtk_label_set_line_wrap(GTK_LABEL(self->values[field]), TRUE);
        gtk_label_set_line_wrap_mode(GTK_LABEL(self->values[field]), PANGO_WRAP_WORD_CHAR);
        gtk_label_set_selectable(GTK_LABEL(self->values[field]), FALSE);
        gtk_table_attach(GTK_TABLE(table), self->values[field], 1, 2, field, field + 1,
                         GtkAttachOptions(GTK_EXPAND | GTK_FILL), GTK_FILL, 0, 0);
    }
    return table;
}

static void kivel_file_details_dialog_init(KivelFileDetailsDialog *self)
{
    GtkDialog *dialog = GTK_DIALOG(self);
    gtk_dialog_set_has_separator(dialog, FALSE);
    gtk_window_set_title(GTK_WINDOW(self), text("sfil_ti_details"));
    gtk_window_set_default_size(GTK_WINDOW(self), 600, 400);
    GtkWidget *content = gtk_dialog_get_content_area(dialog);

    self->gone_label = gtk_label_new(text("sfil_ia_details_item_gone"));
    gtk_box_pack_start(GTK_BOX(content), self->gone_label, FALSE, FALSE, 4);
    GtkWidget *area = kivel_pannable_area_new();
    kivel_pannable_area_add_with_viewport(area, build_fields(self));
    gtk_box_pack_start(GTK_BOX(content), area, TRUE, TRUE, 0);
    gtk_widget_show_all(area);

    GtkWidget *close =
        kivel_button_new(KIVEL_SIZE_FINGER_HEIGHT, KIVEL_BUTTON_ARRANGEMENT_HORIZONTAL);
    gtk_button_set_label(GTK_BUTTON(close), text("sfil_bd_details_close"));
    gtk_widget_set_size_request(close, 150, -1);
    gtk_dialog_add_action_widget(dialog, close, GTK_RESPONSE_CLOSE);
    gtk_widget_show(close);
}

static void details_dispose(GObject *object)
{
    forget_model(KIVEL_FILE_DETAILS_DIALOG(object));
    G_OBJECT_CLASS(kivel_file_details_dialog_parent_class)->dispose(object);
}

static void details_finalize(GObject *object)
{
    g_free(KIVEL_FILE_DETAILS_DIALOG(object)->uri);
    G_OBJECT_CLASS(kivel_file_details_dialog_parent_class)->finalize(object);
}

static void kivel_file_details_dialog_class_init(KivelFileDetailsDialogClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = details_dispose;
    G_OBJECT_CLASS(klass)->finalize = details_finalize;
}

GtkWidget *kivel_file_details_dialog_new_with_model(GtkWindow *parent, KivelFileSystemModel *model)
{
    g_return_val_if_fail(parent == nullptr || GTK_IS_WINDOW(parent), nullptr);
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model), nullptr);
    auto *self = KIVEL_FILE_DETAILS_DIALOG(g_object_new(KIVEL_TYPE_FILE_DETAILS_DIALOG, nullptr));
    self->model = KIVEL_FILE_SYSTEM_MODEL(g_object_ref(model));
    self->handlers[0] = g_signal_connect(model, "row-changed", G_CALLBACK(on_row_changed), self);
    self->handlers[1] = g_signal_connect(model, "row-deleted", G_CALLBACK(on_row_deleted), self);
    self->handlers[2] = g_signal_connect(model, "row-inserted", G_CALLBACK(on_row_inserted), self);
    if (parent) {
        gtk_window_set_transient_for(GTK_WINDOW(self), parent);
        gtk_window_set_destroy_with_parent(GTK_WINDOW(self), TRUE);
    }
    return GTK_WIDGET(self);
}

void kivel_file_details_dialog_set_file_iter(GtkWidget *dialog, GtkTreeIter *iter)
{
    g_return_if_fail(KIVEL_IS_FILE_DETAILS_DIALOG(dialog));
    g_return_if_fail(iter != nullptr);
    auto *self = KIVEL_FILE_DETAILS_DIALOG(dialog);
    g_return_if_fail(self->model != nullptr);
    follow_row(self, iter);
}
