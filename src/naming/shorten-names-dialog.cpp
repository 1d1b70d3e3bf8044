#include "naming/shorten-names-dialog.h"

#include "model/fm-assert.h"
#include "naming/unique-names.h"
#include "platform/kivel-pannable.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <libintl.h>
#include <locale.h>
#include <string.h>
#include <string>

using ulvo::GCharPtr;

namespace
{

// A stock item of the platform toolkit.
const char kWarningIcon[] = "kivel-shorten-warning";
const int kDefaultMaxLength = 256;
const int kListHeight = 200;

enum { COLUMN_ICON, COLUMN_URI };

struct KivelShortenNamesDialogPrivate {
    GtkWidget *accept_button;
    GtkWidget *rename_button;
    GtkWidget *cancel_button;
    GtkWidget *cut_check;
    GtkWidget *tree_view;
    GtkListStore *store;
    int max_length;
    GtkWidget *renameDialog;
    int n_items;
};

const char *text(const char *catalog, const char *id)
{
    return dcgettext(catalog, id, LC_MESSAGES);
}

} // namespace

G_DEFINE_TYPE_WITH_PRIVATE(KivelShortenNamesDialog, kivel_shorten_names_dialog, GTK_TYPE_DIALOG)

static KivelShortenNamesDialogPrivate *private_of(KivelShortenNamesDialog *dialog)
{
    return static_cast<KivelShortenNamesDialogPrivate *>(
        kivel_shorten_names_dialog_get_instance_private(dialog));
}

// (transfer full) The text URI of a row.
static gchar *row_uri(GtkTreeModel *model, GtkTreeIter *iter)
{
    gchar *uri = nullptr;
    gtk_tree_model_get(model, iter, COLUMN_URI, &uri, -1);
    return uri;
}

static bool too_long(const gchar *uri, int max_length)
{
    return uri && strlen(uri) > gsize(max_length);
}

// The length a row is measured by after a rename: without "scheme://".
static gsize length_without_scheme(const gchar *uri)
{
    GCharPtr scheme(g_uri_parse_scheme(uri));
    gsize length = strlen(uri);
    gsize prefix = scheme ? strlen(scheme.get()) + strlen("://") : 0;
    return length > prefix ? length - prefix : 0;
}

// TRUE when `fits` holds for every row.
static bool every_row(KivelShortenNamesDialogPrivate *priv, bool (*fits)(const gchar *, int))
{
    GtkTreeModel *model = GTK_TREE_MODEL(priv->store);
    GtkTreeIter iter;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
         more = gtk_tree_model_iter_next(model, &iter)) {
        GCharPtr uri(row_uri(model, &iter));
        if (!fits(uri.get(), priv->max_length))
            return false;
    }
    return true;
}

static bool fits_whole(const gchar *uri, int max_length)
{
    return !too_long(uri, max_length);
}

static bool fits_without_scheme(const gchar *uri, int max_length)
{
    return !uri || length_without_scheme(uri) <= gsize(max_length);
}

gchar *kivel_shorten_names_markup(const gchar *texturi, int max_length)
{
    FM_RETURN_VAL_IF_FAIL(texturi != nullptr, "texturi != NULL", nullptr);
    GCharPtr parent_uri(ulvo_vfs_uri_get_parent(texturi));
    GCharPtr parent_text(
        parent_uri ? ulvo_vfs_uri_to_string(parent_uri.get(), ULVO_VFS_URI_HIDE_TOPLEVEL_METHOD)
                   : nullptr);
    GCharPtr parent(parent_text ? g_uri_unescape_string(parent_text.get(), nullptr) : nullptr);
    GCharPtr name(ulvo_vfs_uri_short_name(texturi));
    if (!name)
        return g_markup_escape_text(texturi, -1);
    const gchar *extension = ulvo_fm_path_get_extension(name.get());
    std::string base(name.get(), extension ? gsize(extension - name.get()) : strlen(name.get()));
    if (!too_long(texturi, max_length))
        return g_markup_escape_text(base.c_str(), -1);

    long keep = long(max_length) - long(parent ? strlen(parent.get()) : 0) -
                long(extension ? strlen(extension) : 0) - 1;
    gsize cut = gsize(CLAMP(keep, 0L, long(base.size())));
    // A character cut in half would make the whole markup unreadable.
    while (cut > 0 && cut < base.size() && (base[cut] & 0xC0) == 0x80)
        cut--;
    GCharPtr shown(g_markup_escape_text(base.c_str(), gssize(cut)));
    GCharPtr tail(g_markup_escape_text(base.c_str() + cut, -1));
    return g_strdup_printf("%s<span color=\"Gray\">%s</span>", shown.get(), tail.get());
}

static void icon_rule(GtkTreeViewColumn *, GtkCellRenderer *renderer, GtkTreeModel *model,
                      GtkTreeIter *iter, gpointer dialog)
{
    KivelShortenNamesDialogPrivate *priv = private_of(KIVEL_SHORTEN_NAMES_DIALOG(dialog));
    const gchar *stock_id = nullptr;
    if (!gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(priv->cut_check))) {
        GCharPtr uri(row_uri(model, iter));
        if (too_long(uri.get(), priv->max_length))
            stock_id = kWarningIcon;
    }
    g_object_set(renderer, "stock-id", stock_id, nullptr);
}

static void name_rule(GtkTreeViewColumn *, GtkCellRenderer *renderer, GtkTreeModel *model,
                      GtkTreeIter *iter, gpointer dialog)
{
    KivelShortenNamesDialogPrivate *priv = private_of(KIVEL_SHORTEN_NAMES_DIALOG(dialog));
    GCharPtr uri(row_uri(model, iter));
    GCharPtr markup(uri ? kivel_shorten_names_markup(uri.get(), priv->max_length) : nullptr);
    g_object_set(renderer, "markup", markup ? markup.get() : "", nullptr);
}

static void cut_toggled_cb(GtkToggleButton *check, gpointer dialog)
{
    KivelShortenNamesDialogPrivate *priv = private_of(KIVEL_SHORTEN_NAMES_DIALOG(dialog));
    if (gtk_toggle_button_get_active(check))
        gtk_widget_set_sensitive(priv->accept_button, TRUE);
    else if (!every_row(priv, fits_whole))
        gtk_widget_set_sensitive(priv->accept_button, FALSE);
    gtk_widget_queue_draw(GTK_WIDGET(dialog));
}

// ---- the name prompt ----

static gboolean is_file_name(const gchar *name)
{
    return name && *name && !strchr(name, '/') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

static void prompt_name_changed_cb(GtkEditable *entry, gpointer prompt)
{
    gboolean valid = is_file_name(gtk_entry_get_text(GTK_ENTRY(entry)));
    gtk_dialog_set_response_sensitive(GTK_DIALOG(prompt), GTK_RESPONSE_OK, valid);
}

// (transfer floating) A modal dialog asking for a new name, `name` filled in.
static GtkWidget *name_prompt_new(GtkWindow *parent, const gchar *name)
{
    GtkWidget *prompt = gtk_dialog_new_with_buttons(
        text("kivel-libs", "ckdg_ti_rename_default"), parent,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT | GTK_DIALOG_NO_SEPARATOR),
        text("kivel-libs", "wdgt_bd_ok"), GTK_RESPONSE_OK, text("kivel-libs", "wdgt_bd_cancel"),
        GTK_RESPONSE_CANCEL, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(prompt), GTK_RESPONSE_OK);
    GtkWidget *entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), name);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    g_signal_connect(entry, "changed", G_CALLBACK(prompt_name_changed_cb), prompt);
    gtk_box_pack_start(GTK_BOX(GTK_DIALOG(prompt)->vbox), entry, FALSE, FALSE, 0);
    g_object_set_data(G_OBJECT(prompt), "name-entry", entry);
    prompt_name_changed_cb(GTK_EDITABLE(entry), prompt);
    gtk_widget_show_all(GTK_DIALOG(prompt)->vbox);
    return prompt;
}

// Asks for a new name for the row at `iter` and stores the new text URI.
static void rename_row(KivelShortenNamesDialog *dialog, GtkTreeModel *model, GtkTreeIter *iter)
{
    KivelShortenNamesDialogPrivate *priv = private_of(dialog);
    GCharPtr uri(row_uri(model, iter));
    GCharPtr parent(uri ? ulvo_vfs_uri_get_parent(uri.get()) : nullptr);
    GCharPtr name(uri ? ulvo_vfs_uri_short_name(uri.get()) : nullptr);
    if (!parent || !name) {
        g_warning("Cannot rename %s\n", uri ? uri.get() : "(null)");
        return;
    }
    priv->renameDialog = name_prompt_new(GTK_WINDOW(dialog), name.get());
    g_object_add_weak_pointer(G_OBJECT(priv->renameDialog),
                              reinterpret_cast<gpointer *>(&priv->renameDialog));
    gint response = gtk_dialog_run(GTK_DIALOG(priv->renameDialog));
    if (!priv->renameDialog)
        return; // gone with this dialog
    if (response == GTK_RESPONSE_OK) {
        auto *entry = GTK_ENTRY(g_object_get_data(G_OBJECT(priv->renameDialog), "name-entry"));
        // The name goes in escaped, so that any name makes a sound URI.
        GCharPtr renamed(ulvo_vfs_uri_append_file_name(parent.get(), gtk_entry_get_text(entry)));
        if (renamed)
            gtk_list_store_set(GTK_LIST_STORE(model), iter, COLUMN_URI, renamed.get(), -1);
    }
    GtkWidget *prompt = priv->renameDialog;
    g_object_remove_weak_pointer(G_OBJECT(prompt),
                                 reinterpret_cast<gpointer *>(&priv->renameDialog));
    priv->renameDialog = nullptr;
    gtk_widget_destroy(prompt);
}

void open_rename(GtkButton *, gpointer data)
{
    FM_RETURN_IF_FAIL(KIVEL_IS_SHORTEN_NAMES_DIALOG(data), "KIVEL_IS_SHORTEN_NAMES_DIALOG(dialog)");
    KivelShortenNamesDialog *dialog = KIVEL_SHORTEN_NAMES_DIALOG(data);
    KivelShortenNamesDialogPrivate *priv = private_of(dialog);
    if (priv->renameDialog)
        return; // one rename at a time
    g_object_ref(dialog);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(priv->tree_view));
    gtk_tree_selection_set_mode(selection, GTK_SELECTION_SINGLE);
    GtkTreeModel *model = nullptr;
    GtkTreeIter iter;
    if (gtk_tree_selection_get_selected(selection, &model, &iter))
        rename_row(dialog, model, &iter);
    // Measured without the scheme: the transfer cuts what is still over.
    if (every_row(priv, fits_without_scheme))
        gtk_widget_set_sensitive(priv->accept_button, TRUE);
    gtk_widget_queue_draw(GTK_WIDGET(dialog));
    g_object_unref(dialog);
}

// ---- the type ----

static void kivel_shorten_names_dialog_dispose(GObject *object)
{
    KivelShortenNamesDialogPrivate *priv = private_of(KIVEL_SHORTEN_NAMES_DIALOG(object));
    if (priv->store) {
        g_object_unref(priv->store);
        priv->store = nullptr;
    }
    G_OBJECT_CLASS(kivel_shorten_names_dialog_parent_class)->dispose(object);
}

static void kivel_shorten_names_dialog_class_init(KivelShortenNamesDialogClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = kivel_shorten_names_dialog_dispose;
}

static GtkWidget *add_tree_view(KivelShortenNamesDialog *dialog)
{
    KivelShortenNamesDialogPrivate *priv = private_of(dialog);
    priv->store = gtk_list_store_new(3, GDK_TYPE_PIXBUF, G_TYPE_STRING, G_TYPE_STRING);
    priv->tree_view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(priv->store));
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(priv->tree_view), FALSE);
    GtkCellRenderer *icon = gtk_cell_renderer_pixbuf_new();
    gtk_tree_view_insert_column_with_data_func(GTK_TREE_VIEW(priv->tree_view), -1, nullptr, icon,
                                               icon_rule, dialog, nullptr);
    GtkCellRenderer *name = gtk_cell_renderer_text_new();
    gtk_tree_view_insert_column_with_data_func(GTK_TREE_VIEW(priv->tree_view), -1, nullptr, name,
                                               name_rule, dialog, nullptr);
    // Pans with a finger like every list of the device.
    GtkWidget *area = kivel_pannable_area_new();
    kivel_pannable_area_add_with_viewport(area, priv->tree_view);
    gtk_widget_set_size_request(area, -1, kListHeight);
    return area;
}

static void kivel_shorten_names_dialog_init(KivelShortenNamesDialog *dialog)
{
    KivelShortenNamesDialogPrivate *priv = private_of(dialog);
    GtkDialog *base = GTK_DIALOG(dialog);
    gtk_dialog_set_has_separator(base, FALSE);
    gtk_window_set_title(GTK_WINDOW(dialog), text("ulvo-backup", "back_fi_general_error"));

    priv->accept_button = gtk_dialog_add_button(
        base, text("kivel-common-strings", "sfil_ni_operation_failed_ok"), GTK_RESPONSE_ACCEPT);
    gtk_widget_set_sensitive(priv->accept_button, FALSE);
    priv->rename_button =
        gtk_button_new_with_label(text("kivel-common-strings", "sfil_ni_operation_failed_ok"));
    gtk_box_pack_start(GTK_BOX(base->action_area), priv->rename_button, FALSE, TRUE, 0);
    g_signal_connect(priv->rename_button, "clicked", G_CALLBACK(open_rename), dialog);
    priv->cancel_button = gtk_dialog_add_button(
        base, text("kivel-common-strings", "sfil_nc_save_before_closing_cancel"),
        GTK_RESPONSE_CANCEL);

    GtkWidget *label = gtk_label_new(text("kivel-fm", "hfil_ia_shorten_name"));
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_box_pack_start(GTK_BOX(base->vbox), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(base->vbox), add_tree_view(dialog), FALSE, FALSE, 0);
    priv->cut_check = gtk_check_button_new_with_label(text("ulvo-backup", "back_fi_general_error"));
    g_signal_connect(priv->cut_check, "toggled", G_CALLBACK(cut_toggled_cb), dialog);
    gtk_box_pack_start(GTK_BOX(base->vbox), priv->cut_check, FALSE, FALSE, 0);
    priv->max_length = kDefaultMaxLength;

    gtk_widget_show_all(base->vbox);
    gtk_widget_show_all(base->action_area);
}

GtkWidget *kivel_shorten_names_dialog_new(GtkWindow *parent)
{
    GtkWidget *dialog = GTK_WIDGET(g_object_new(KIVEL_TYPE_SHORTEN_NAMES_DIALOG, nullptr));
    if (parent)
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    return dialog;
}

void kivel_shorten_names_dialog_set_items(KivelShortenNamesDialog *dialog, GtkTreeModel *list,
                                          int max_length)
{
    FM_RETURN_IF_FAIL(KIVEL_IS_SHORTEN_NAMES_DIALOG(dialog),
                      "KIVEL_IS_SHORTEN_NAMES_DIALOG(dialog)");
    FM_RETURN_IF_FAIL(GTK_IS_TREE_MODEL(list), "GTK_IS_TREE_MODEL(list)");
    KivelShortenNamesDialogPrivate *priv = private_of(dialog);
    GtkListStore *store = gtk_list_store_new(2, GDK_TYPE_PIXBUF, G_TYPE_STRING);
    int n_items = 0;
    GtkTreeIter from, to;
    for (gboolean more = gtk_tree_model_get_iter_first(list, &from); more;
         more = gtk_tree_model_iter_next(list, &from)) {
        gchar *uri = nullptr;
        gtk_tree_model_get(list, &from, 0, &uri, -1);
        gtk_list_store_insert_with_values(store, &to, -1, COLUMN_URI, uri, -1);
        g_free(uri);
        n_items++;
    }
    if (priv->store)
        g_object_unref(priv->store);
    priv->store = store;
    priv->n_items = n_items;
    priv->max_length = max_length;
    gtk_tree_view_set_model(GTK_TREE_VIEW(priv->tree_view), GTK_TREE_MODEL(store));
    gtk_widget_queue_draw(priv->tree_view);
    gtk_widget_queue_draw(GTK_DIALOG(dialog)->vbox);
    gtk_widget_show(GTK_DIALOG(dialog)->vbox);
    gtk_widget_show(GTK_DIALOG(dialog)->action_area);
}

GtkListStore *kivel_shorten_names_dialog_get_items(KivelShortenNamesDialog *dialog)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_SHORTEN_NAMES_DIALOG(dialog),
                          "KIVEL_IS_SHORTEN_NAMES_DIALOG(dialog)", nullptr);
    KivelShortenNamesDialogPrivate *priv = private_of(dialog);
    GtkListStore *items = gtk_list_store_new(1, G_TYPE_STRING);
    GtkTreeModel *model = GTK_TREE_MODEL(priv->store);
    GtkTreeIter from, to;
    for (gboolean more = gtk_tree_model_get_iter_first(model, &from); more;
         more = gtk_tree_model_iter_next(model, &from)) {
        GCharPtr uri(row_uri(model, &from));
        gtk_list_store_insert_with_values(items, &to, -1, 0, uri.get(), -1);
    }
    return items;
}
