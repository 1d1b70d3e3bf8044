#define G_LOG_DOMAIN "Kivel"

#include "platform/selection/kivel-file-chooser-dialog.h"

#include "platform/selection/kivel-folder-tree.h"
#include "platform/toolkit/kivel-banner.h"
#include "platform/toolkit/kivel-button.h"
#include "platform/toolkit/kivel-caption.h"
#include "platform/toolkit/kivel-pannable.h"
#include "vfs/glib-ptr.h"

#include <libintl.h>
#include <locale.h>
#include <stddef.h>
#include <string.h>
#include <string>

// GTK 2's table of the file chooser interface. The toolkit does not install
// the header that declares it; its layout is frozen with GTK 2.
struct ChooserIface {
    GTypeInterface base;
    gboolean (*set_current_folder)(GtkFileChooser *, GFile *, GError **);
    GFile *(*get_current_folder)(GtkFileChooser *);
    void (*set_current_name)(GtkFileChooser *, const gchar *);
    gboolean (*select_file)(GtkFileChooser *, GFile *, GError **);
    void (*unselect_file)(GtkFileChooser *, GFile *);
    void (*select_all)(GtkFileChooser *);
    void (*unselect_all)(GtkFileChooser *);
    GSList *(*get_files)(GtkFileChooser *);
    GFile *(*get_preview_file)(GtkFileChooser *);
    gpointer (*get_file_system)(GtkFileChooser *);
    void (*add_filter)(GtkFileChooser *, GtkFileFilter *);
    void (*remove_filter)(GtkFileChooser *, GtkFileFilter *);
    GSList *(*list_filters)(GtkFileChooser *);
    gboolean (*add_shortcut_folder)(GtkFileChooser *, GFile *, GError **);
    gboolean (*remove_shortcut_folder)(GtkFileChooser *, GFile *, GError **);
    GSList *(*list_shortcut_folders)(GtkFileChooser *);
    gpointer signal_slots[5];
};
static_assert(offsetof(ChooserIface, set_current_name) == 0x20, "GTK 2 interface layout");
static_assert(offsetof(ChooserIface, get_files) == 0x48, "GTK 2 interface layout");

#define MEDIA_SERVER_PREFIX "upnpav://"
// Rows and buttons a fingertip hits.
static const gint finger_height = 64;
static const gint default_max_name_length = 255;

struct _KivelFileChooserDialog {
    GtkDialog parent;

    KivelFileSystemModel *model;
    GtkFileChooserAction action;
    gboolean select_multiple;
    gboolean show_folder_button;
    gboolean show_location;
    gboolean show_upnp;
    gboolean autonaming;
    gint max_name_length;

    gchar *folder_uri;  // the current folder
    gchar *reveal_uri;  // a folder to choose in the tree once it has a row
    bool name_proposed; // the entry holds what the program proposed
    bool name_given;    // the caller or the person gave a name: no stub
    gint quiet_edits;   // the program is changing the entry

    GtkWidget *location_label;
    GtkWidget *location_row;
    GtkWidget *tree_area;
    GtkWidget *tree_view;
    GtkTreeModel *tree; // the folders shown, in name order
    GtkWidget *name_row;
    GtkWidget *name_entry;
    GtkWidget *folder_button;
    gulong loaded_handler;
};

struct _KivelFileChooserDialogClass {
    GtkDialogClass parent_class;
};

static void chooser_iface_init(gpointer iface, gpointer);

G_DEFINE_TYPE_WITH_CODE(KivelFileChooserDialog, kivel_file_chooser_dialog, GTK_TYPE_DIALOG,
                        G_IMPLEMENT_INTERFACE(GTK_TYPE_FILE_CHOOSER, chooser_iface_init))

enum {
    PROP_0,
    PROP_FILE_SYSTEM_MODEL,
    PROP_SHOW_FOLDER_BUTTON,
    PROP_SHOW_LOCATION,
    PROP_MAX_NAME_LENGTH,
    PROP_AUTONAMING,
    // GtkFileChooser's own properties follow, in the interface's order.
    PROP_CHOOSER_FIRST
};
static const guint max_chooser_properties = 24;
static const gchar *chooser_property_names[max_chooser_properties];

static const gchar *text(const gchar *id)
{
    return dcgettext("kivel-fm", id, LC_MESSAGES);
}

static void show_banner(KivelFileChooserDialog *self, const gchar *message)
{
    kivel_banner_show_information(GTK_WIDGET(self), nullptr, message);
}

// ---- the current folder and the name ----

// (transfer full) The name shown for the folder at `uri`.
static gchar *folder_display_name(KivelFileChooserDialog *self, const gchar *uri)
{
    GtkTreeIter row;
    if (self->model && kivel_file_system_model_search_uri(self->model, uri, &row, nullptr, TRUE)) {
        gchar *name = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(self->model), &row, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME,
                           &name, -1);
        if (name)
            return name;
    }
    ulvo::GObjPtr<GFile> file(g_file_new_for_uri(uri));
    ulvo::GCharPtr base(g_file_get_basename(file.get()));
    return base ? g_filename_display_name(base.get()) : g_strdup(uri);
}

static void update_location(KivelFileChooserDialog *self)
{
    ulvo::GCharPtr name(self->folder_uri ? folder_display_name(self, self->folder_uri)
                                         : g_strdup(""));
    gtk_label_set_text(GTK_LABEL(self->location_label), name.get());
}

static void set_entry_quietly(KivelFileChooserDialog *self, const gchar *name)
{
    self->quiet_edits++;
    gtk_entry_set_text(GTK_ENTRY(self->name_entry), name);
    self->quiet_edits--;
}

// (transfer full) (nullable) The child `name` (UTF-8) of the folder `folder_uri`.
static GFile *child_of_folder(const gchar *folder_uri, const gchar *name)
{
    if (!folder_uri || !name || !*name || strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
        return nullptr;
    ulvo::GObjPtr<GFile> folder(g_file_new_for_uri(folder_uri));
    // Local names are file-system bytes; other schemes take UTF-8.
    ulvo::GCharPtr on_disk(g_file_is_native(folder.get())
                               ? g_filename_from_utf8(name, -1, nullptr, nullptr, nullptr)
                               : g_strdup(name));
    return on_disk ? g_file_get_child(folder.get(), on_disk.get()) : nullptr;
}

// A proposed name that is taken in the folder gives way to a free one.
static void make_proposal_free(KivelFileChooserDialog *self)
{
    if (!self->autonaming || !self->name_proposed || !self->model ||
        self->action != GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER)
        return;
    ulvo::GObjPtr<GFile> child(
        child_of_folder(self->folder_uri, gtk_entry_get_text(GTK_ENTRY(self->name_entry))));
    if (!child)
        return;
    ulvo::GCharPtr uri(g_file_get_uri(child.get()));
    ulvo::ErrorOut error;
    ulvo::GCharPtr free_uri(
        kivel_file_system_model_autoname_uri(self->model, uri.get(), error.out()));
    if (!free_uri) {
        g_debug("no free name for %s: %s", uri.get(), error ? error.get()->message : "");
        return;
    }
    ulvo::GObjPtr<GFile> free_file(g_file_new_for_uri(free_uri.get()));
    ulvo::GCharPtr base(g_file_get_basename(free_file.get()));
    if (base) {
        ulvo::GCharPtr shown(g_filename_display_name(base.get()));
        set_entry_quietly(self, shown.get());
    }
}

// The longest start of `name` that is whole UTF-8 characters and fits in
// `room` bytes.
static size_t whole_characters_within(const gchar *name, size_t room)
{
    const gchar *end = name;
    while (*end) {
        const gchar *next = g_utf8_next_char(end);
        if (size_t(next - name) > room)
            break;
        end = next;
    }
    return size_t(end - name);
}

static void set_name(KivelFileChooserDialog *self, const gchar *name, bool proposed)
{
    // Callers may hand over a name cut in the middle of a character.
    const gchar *valid_end = name;
    g_utf8_validate(name, -1, &valid_end);
    std::string kept(name, size_t(valid_end - name));
    kept.resize(whole_characters_within(kept.c_str(), size_t(self->max_name_length)));
    set_entry_quietly(self, kept.c_str());
    self->name_proposed = proposed;
    make_proposal_free(self);
}

static void set_folder(KivelFileChooserDialog *self, const gchar *uri)
{
    if (g_strcmp0(self->folder_uri, uri) == 0)
        return;
    g_free(self->folder_uri);
    self->folder_uri = g_strdup(uri);
    update_location(self);
    make_proposal_free(self);
    g_signal_emit_by_name(self, "current-folder-changed");
}

// ---- the folder tree ----

static gboolean folder_row_shown(GtkTreeModel *model, GtkTreeIter *iter, gpointer data)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(data);
    gint item_type = 0;
    gboolean folder = FALSE, waiting_row = FALSE;
    gtk_tree_model_get(model, iter, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER, &folder,
                       KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &item_type,
                       KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER, &waiting_row, -1);
    if (waiting_row || !(folder || item_type >= KIVEL_FILE_SYSTEM_MODEL_FOLDER))
        return FALSE;
    if (self->show_upnp)
        return TRUE;
    ulvo::GCharPtr uri;
    {
        gchar *value = nullptr;
        gtk_tree_model_get(model, iter, KIVEL_FILE_SYSTEM_MODEL_URI, &value, -1);
        uri.reset(value);
    }
    return uri && !g_str_has_prefix(uri.get(), MEDIA_SERVER_PREFIX);
}

// The model row shown at `shown` of the tree.
static void model_row_of(KivelFileChooserDialog *self, GtkTreeIter *row, GtkTreeIter *shown)
{
    kivel_folder_tree_model_iter(self->tree, row, shown);
}

static gchar *row_uri(KivelFileChooserDialog *self, GtkTreeIter *row)
{
    gchar *uri = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(self->model), row, KIVEL_FILE_SYSTEM_MODEL_URI, &uri, -1);
    return uri;
}

// Unfolds the tree at the model row `row`, when the row is shown.
static void unfold(KivelFileChooserDialog *self, GtkTreeIter *row)
{
    GtkTreeIter shown;
    if (!kivel_folder_tree_shown_iter(self->tree, &shown, row))
        return;
    GtkTreePath *path = gtk_tree_model_get_path(self->tree, &shown);
    gtk_tree_view_expand_row(GTK_TREE_VIEW(self->tree_view), path, FALSE);
    gtk_tree_path_free(path);
}

// TRUE with the model row of the folder the tree's cursor is on, when chosen.
static gboolean chosen_row(KivelFileChooserDialog *self, GtkTreeIter *row)
{
    GtkTreeView *view = GTK_TREE_VIEW(self->tree_view);
    GtkTreePath *cursor = nullptr;
    gtk_tree_view_get_cursor(view, &cursor, nullptr);
    if (!cursor)
        return FALSE;
    GtkTreeIter shown;
    gboolean chosen =
        gtk_tree_selection_path_is_selected(gtk_tree_view_get_selection(view), cursor) &&
        gtk_tree_model_get_iter(self->tree, &shown, cursor);
    gtk_tree_path_free(cursor);
    if (chosen)
        model_row_of(self, row, &shown);
    return chosen;
}

static void on_tree_selection_changed(GtkTreeSelection *, gpointer data)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(data);
    GtkTreeIter row;
    if (chosen_row(self, &row)) {
        ulvo::GCharPtr uri(row_uri(self, &row));
        set_folder(self, uri.get());
        kivel_file_system_model_load_children(self->model, &row);
        if (kivel_file_system_model_children_loaded(self->model, &row))
            unfold(self, &row);
    }
    g_signal_emit_by_name(self, "selection-changed");
}

// Chooses the folder waiting to be revealed once the model has its row;
// asks for the folders that lead to it meanwhile.
static void try_reveal(KivelFileChooserDialog *self)
{
    if (!self->reveal_uri || !self->tree)
        return;
    GtkTreeIter row, shown;
    if (!kivel_file_system_model_load_path(self->model, self->reveal_uri, &row))
        return;
    g_clear_pointer(&self->reveal_uri, g_free);
    if (!kivel_folder_tree_shown_iter(self->tree, &shown, &row))
        return;
    GtkTreeView *view = GTK_TREE_VIEW(self->tree_view);
    GtkTreePath *path = gtk_tree_model_get_path(self->tree, &shown);
    GtkTreePath *above = gtk_tree_path_copy(path);
    if (gtk_tree_path_up(above) && gtk_tree_path_get_depth(above) > 0)
        gtk_tree_view_expand_to_path(view, above);
    gtk_tree_path_free(above);
    gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(view));
    gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
    gtk_tree_view_scroll_to_cell(view, path, nullptr, TRUE, 0.3f, 0.0f);
    gtk_tree_path_free(path);
}

static void on_folder_loaded(KivelFileSystemModel *, GtkTreeIter *folder, gpointer data)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(data);
    GtkTreeIter chosen;
    if (chosen_row(self, &chosen)) {
        GtkTreePath *a = gtk_tree_model_get_path(GTK_TREE_MODEL(self->model), &chosen);
        GtkTreePath *b = gtk_tree_model_get_path(GTK_TREE_MODEL(self->model), folder);
        if (gtk_tree_path_compare(a, b) == 0)
            unfold(self, folder);
        gtk_tree_path_free(a);
        gtk_tree_path_free(b);
    }
    try_reveal(self);
}

static void attach_tree(KivelFileChooserDialog *self)
{
    if (self->tree || !self->model || self->action != GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER)
        return;
    self->tree = kivel_folder_tree_new(GTK_TREE_MODEL(self->model), folder_row_shown, self);
    gtk_tree_view_set_model(GTK_TREE_VIEW(self->tree_view), self->tree);
    self->loaded_handler =
        g_signal_connect(self->model, "finished-loading", G_CALLBACK(on_folder_loaded), self);
    try_reveal(self);
}

static void detach_tree(KivelFileChooserDialog *self)
{
    if (self->loaded_handler)
        g_signal_handler_disconnect(self->model, self->loaded_handler);
    self->loaded_handler = 0;
    if (self->tree_view)
        gtk_tree_view_set_model(GTK_TREE_VIEW(self->tree_view), nullptr);
    g_clear_object(&self->tree);
}

static GtkWidget *build_tree(KivelFileChooserDialog *self)
{
    self->tree_view = gtk_tree_view_new();
    // The dialog's destruction takes the view before the dialog lets go of its model.
    g_object_add_weak_pointer(G_OBJECT(self->tree_view),
                              reinterpret_cast<gpointer *>(&self->tree_view));
    GtkTreeView *view = GTK_TREE_VIEW(self->tree_view);
    gtk_tree_view_set_headers_visible(view, FALSE);
    gtk_tree_view_set_enable_search(view, FALSE);
    GtkTreeViewColumn *column = gtk_tree_view_column_new();
    GtkCellRenderer *icon = gtk_cell_renderer_pixbuf_new();
    gtk_tree_view_column_pack_start(column, icon, FALSE);
    gtk_tree_view_column_add_attribute(column, icon, "pixbuf", KIVEL_FILE_SYSTEM_MODEL_ICON);
    GtkCellRenderer *name = gtk_cell_renderer_text_new();
    g_object_set(name, "ellipsize", PANGO_ELLIPSIZE_END, "height", finger_height, "xpad", 8,
                 nullptr);
    gtk_tree_view_column_pack_start(column, name, TRUE);
    gtk_tree_view_column_add_attribute(column, name, "text", KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME);
    gtk_tree_view_append_column(view, column);
    g_signal_connect(gtk_tree_view_get_selection(view), "changed",
                     G_CALLBACK(on_tree_selection_changed), self);
    GtkWidget *area = kivel_pannable_area_new();
    gtk_container_add(GTK_CONTAINER(area), self->tree_view);
    gtk_widget_set_size_request(area, -1, 4 * finger_height);
    return area;
}

// ---- the name entry ----

static void on_name_insert_text(GtkEditable *editable, gchar *inserted, gint length, gint *position,
                                gpointer data)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(data);
    if (self->quiet_edits)
        return;
    std::string typed(inserted, length < 0 ? strlen(inserted) : size_t(length));
    std::string kept;
    bool slash = false;
    for (char c : typed) {
        if (c == '/')
            slash = true;
        else
            kept += c;
    }
    size_t used = strlen(gtk_entry_get_text(GTK_ENTRY(editable)));
    size_t limit = size_t(self->max_name_length);
    size_t room = used < limit ? limit - used : 0;
    bool too_long = kept.size() > room;
    kept.resize(whole_characters_within(kept.c_str(), room));
    if (!slash && !too_long)
        return;
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (!kept.empty()) {
        self->quiet_edits++;
        gtk_editable_insert_text(editable, kept.c_str(), gint(kept.size()), position);
        self->quiet_edits--;
        self->name_proposed = false;
    }
    if (slash) {
        ulvo::GCharPtr message(g_strdup_printf(text("ckdg_ib_illegal_characters_entered"), "/"));
        show_banner(self, message.get());
    } else {
        show_banner(self, text("ckdg_ib_maximum_characters_reached"));
    }
}

static void on_name_changed(GtkEditable *, gpointer data)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(data);
    if (!self->quiet_edits) {
        self->name_proposed = false;
        self->name_given = true;
    }
}

static GtkWidget *build_name_row(KivelFileChooserDialog *self)
{
    self->name_entry = gtk_entry_new();
    gtk_entry_set_activates_default(GTK_ENTRY(self->name_entry), TRUE);
    gtk_widget_set_size_request(self->name_entry, -1, finger_height);
    g_signal_connect(self->name_entry, "insert-text", G_CALLBACK(on_name_insert_text), self);
    g_signal_connect(self->name_entry, "changed", G_CALLBACK(on_name_changed), self);
    return kivel_caption_new(nullptr, text("ckdg_fi_new_folder_name"), self->name_entry, nullptr,
                             KIVEL_CAPTION_OPTIONAL);
}

// ---- the new folder button ----

static void report_create_failure(KivelFileChooserDialog *self, GError *error)
{
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_READ_ONLY) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED))
        show_banner(self, text("sfil_ib_readonly_location"));
    else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NO_SPACE))
        show_banner(self, text("ckdg_ib_not_enough_space"));
    else
        show_banner(self, text("ckdg_ib_unable_to_create_folder"));
    g_message("creating a folder failed: %s", error->message);
}

// Asks for a name and makes that folder in the chosen one; the tree then
// chooses it once the model has its row.
static void on_new_folder_clicked(GtkButton *, gpointer data)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(data);
    if (!self->folder_uri) {
        show_banner(self, text("ckdg_ib_select_folder"));
        return;
    }
    GtkWidget *ask = kivel_file_chooser_dialog_new_with_properties(
        GTK_WINDOW(self), "title", text("ckdg_ti_new_folder"), "file-system-model", self->model,
        "action", GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER, "show-folder-button", FALSE, nullptr);
    gtk_window_set_modal(GTK_WINDOW(ask), TRUE);
    gtk_file_chooser_set_current_folder_uri(GTK_FILE_CHOOSER(ask), self->folder_uri);
    while (gtk_dialog_run(GTK_DIALOG(ask)) == GTK_RESPONSE_OK) {
        ulvo::GCharPtr uri(gtk_file_chooser_get_uri(GTK_FILE_CHOOSER(ask)));
        ulvo::GObjPtr<GFile> folder(g_file_new_for_uri(uri.get()));
        ulvo::ErrorOut error;
        if (g_file_make_directory(folder.get(), nullptr, error.out())) {
            kivel_file_system_model_reload_uri(self->model, uri.get());
            g_free(self->reveal_uri);
            self->reveal_uri = g_strdup(uri.get());
            try_reveal(self);
            break;
        }
        if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_EXISTS)) {
            show_banner(KIVEL_FILE_CHOOSER_DIALOG(ask), text("ckdg_ib_folder_already_exists"));
            continue;
        }
        report_create_failure(self, error.get());
        break;
    }
    gtk_widget_destroy(ask);
}

// ---- what the dialog shows ----

static void apply_action(KivelFileChooserDialog *self)
{
    bool folders = self->action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
    bool naming = self->action == GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER ||
                  self->action == GTK_FILE_CHOOSER_ACTION_SAVE;
    gtk_widget_set_visible(self->tree_area, folders);
    gtk_widget_set_visible(self->name_row, naming);
    gtk_widget_set_visible(self->folder_button, folders && self->show_folder_button);
    gtk_widget_set_visible(self->location_row, self->show_location);
    gtk_window_set_default_size(GTK_WINDOW(self), folders ? 640 : 560, folders ? 420 : -1);
    if (naming && !self->name_given)
        set_name(self, text("ckdg_va_new_folder_name_stub"), true);
    if (folders)
        attach_tree(self);
    else
        detach_tree(self);
}

static void set_model(KivelFileChooserDialog *self, KivelFileSystemModel *model)
{
    if (model == self->model)
        return;
    detach_tree(self);
    if (model)
        g_object_ref(model);
    if (self->model)
        g_object_unref(self->model);
    self->model = model;
    update_location(self);
    apply_action(self);
}

// An empty name, "." or ".." is no name: OK waits for one. Connected first,
// so that a caller with rules of its own can block it.
static void on_response(GtkDialog *dialog, gint response, gpointer)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(dialog);
    if (response != GTK_RESPONSE_OK)
        return;
    if (self->action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER && !self->folder_uri) {
        g_signal_stop_emission_by_name(dialog, "response");
        show_banner(self, text("ckdg_ib_select_folder"));
        return;
    }
    if (self->action != GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER)
        return;
    ulvo::GCharPtr name(g_strstrip(g_strdup(gtk_entry_get_text(GTK_ENTRY(self->name_entry)))));
    if (!*name || strcmp(name.get(), ".") == 0 || strcmp(name.get(), "..") == 0) {
        g_signal_stop_emission_by_name(dialog, "response");
        show_banner(self, text("ckdg_ib_enter_name"));
        gtk_widget_grab_focus(self->name_entry);
    }
}

// Shown again after a refused name: the folder may have changed, and the
// whole name is ready to be typed over.
static void on_show(GtkWidget *widget, gpointer)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(widget);
    if (!gtk_widget_get_visible(self->name_row))
        return;
    make_proposal_free(self);
    gtk_widget_grab_focus(self->name_entry);
    gtk_editable_select_region(GTK_EDITABLE(self->name_entry), 0, -1);
}

static GtkWidget *add_finger_button(GtkDialog *dialog, const gchar *label, gint response)
{
    GtkWidget *button =
        kivel_button_new(KIVEL_SIZE_FINGER_HEIGHT, KIVEL_BUTTON_ARRANGEMENT_HORIZONTAL);
    gtk_button_set_label(GTK_BUTTON(button), label);
    gtk_widget_set_size_request(button, 150, -1);
    gtk_widget_set_can_default(button, TRUE);
    if (response != GTK_RESPONSE_NONE)
        gtk_dialog_add_action_widget(dialog, button, response);
    gtk_widget_show(button);
    return button;
}

static void kivel_file_chooser_dialog_init(KivelFileChooserDialog *self)
{
    self->action = GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
    self->show_folder_button = TRUE;
    self->show_location = TRUE;
    self->show_upnp = TRUE;
    self->autonaming = TRUE;
    self->max_name_length = default_max_name_length;
    self->name_proposed = true;

    GtkDialog *dialog = GTK_DIALOG(self);
    gtk_dialog_set_has_separator(dialog, FALSE);
    GtkWidget *content = gtk_dialog_get_content_area(dialog);
    gtk_box_set_spacing(GTK_BOX(content), 8);

    self->location_label = gtk_label_new(nullptr);
    gtk_label_set_ellipsize(GTK_LABEL(self->location_label), PANGO_ELLIPSIZE_START);
    gtk_misc_set_alignment(GTK_MISC(self->location_label), 0.0f, 0.5f);
    self->location_row = kivel_caption_new(nullptr, text("ckdg_fi_location"), self->location_label,
                                           nullptr, KIVEL_CAPTION_OPTIONAL);
    gtk_box_pack_start(GTK_BOX(content), self->location_row, FALSE, FALSE, 0);
    self->tree_area = build_tree(self);
    gtk_box_pack_start(GTK_BOX(content), self->tree_area, TRUE, TRUE, 0);
    self->name_row = build_name_row(self);
    gtk_box_pack_start(GTK_BOX(content), self->name_row, FALSE, FALSE, 0);
    gtk_widget_show_all(self->location_row);
    gtk_widget_show_all(self->tree_area);
    gtk_widget_show_all(self->name_row);

    self->folder_button = add_finger_button(dialog, text("ckdg_bd_new_folder"), GTK_RESPONSE_NONE);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_action_area(dialog)), self->folder_button, FALSE,
                       TRUE, 0);
    g_signal_connect(self->folder_button, "clicked", G_CALLBACK(on_new_folder_clicked), self);
    add_finger_button(dialog, text("ckdg_bd_chooser_ok"), GTK_RESPONSE_OK);
    add_finger_button(dialog, text("ckdg_bd_chooser_cancel"), GTK_RESPONSE_CANCEL);
    gtk_dialog_set_default_response(dialog, GTK_RESPONSE_OK);
    g_signal_connect(self, "response", G_CALLBACK(on_response), nullptr);
    g_signal_connect(self, "show", G_CALLBACK(on_show), nullptr);
    apply_action(self);
}

static void chooser_dispose(GObject *object)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(object);
    detach_tree(self);
    g_clear_object(&self->model);
    G_OBJECT_CLASS(kivel_file_chooser_dialog_parent_class)->dispose(object);
}

static void chooser_finalize(GObject *object)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(object);
    g_free(self->folder_uri);
    g_free(self->reveal_uri);
    G_OBJECT_CLASS(kivel_file_chooser_dialog_parent_class)->finalize(object);
}

// ---- properties ----

// (nullable) The name of GtkFileChooser's property `id`.
static const gchar *chooser_property_name(guint id)
{
    if (id < PROP_CHOOSER_FIRST || id >= PROP_CHOOSER_FIRST + max_chooser_properties)
        return nullptr;
    return chooser_property_names[id - PROP_CHOOSER_FIRST];
}

// GtkFileChooser's properties this dialog has no use for keep their values.
static void keep_chooser_value(GObject *object, const gchar *name, const GValue *value)
{
    GValue *copy = g_new0(GValue, 1);
    g_value_init(copy, G_VALUE_TYPE(value));
    g_value_copy(value, copy);
    gchar *key = g_strconcat("kivel-chooser-", name, nullptr);
    g_object_set_data_full(object, key, copy, [](gpointer v) {
        g_value_unset(static_cast<GValue *>(v));
        g_free(v);
    });
    g_free(key);
}

static void give_chooser_value(GObject *object, const gchar *name, GValue *value, GParamSpec *pspec)
{
    gchar *key = g_strconcat("kivel-chooser-", name, nullptr);
    auto *kept = static_cast<GValue *>(g_object_get_data(object, key));
    g_free(key);
    if (kept)
        g_value_copy(kept, value);
    else
        g_param_value_set_default(pspec, value);
}

// GtkFileChooser's own properties.
static void set_chooser_property(KivelFileChooserDialog *self, const gchar *name,
                                 const GValue *value)
{
    if (strcmp(name, "action") == 0) {
        self->action = GtkFileChooserAction(g_value_get_enum(value));
        apply_action(self);
    } else if (strcmp(name, "select-multiple") == 0) {
        self->select_multiple = g_value_get_boolean(value);
        gtk_tree_selection_set_mode(gtk_tree_view_get_selection(GTK_TREE_VIEW(self->tree_view)),
                                    self->select_multiple ? GTK_SELECTION_MULTIPLE
                                                          : GTK_SELECTION_SINGLE);
    } else if (strcmp(name, "local-only") != 0) {
        // Locations of every scheme are offered: "local-only" stays FALSE.
        keep_chooser_value(G_OBJECT(self), name, value);
    }
}

static void chooser_set_property(GObject *object, guint id, const GValue *value, GParamSpec *pspec)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(object);
    if (const gchar *name = chooser_property_name(id)) {
        set_chooser_property(self, name, value);
        return;
    }
    switch (id) {
    case PROP_FILE_SYSTEM_MODEL:
        set_model(self, static_cast<KivelFileSystemModel *>(g_value_get_object(value)));
        break;
    case PROP_SHOW_FOLDER_BUTTON:
        self->show_folder_button = g_value_get_boolean(value);
        apply_action(self);
        break;
    case PROP_SHOW_LOCATION:
        self->show_location = g_value_get_boolean(value);
        apply_action(self);
        break;
    case PROP_MAX_NAME_LENGTH:
        self->max_name_length = g_value_get_int(value);
        set_name(self, gtk_entry_get_text(GTK_ENTRY(self->name_entry)), self->name_proposed);
        break;
    case PROP_AUTONAMING:
        self->autonaming = g_value_get_boolean(value);
        make_proposal_free(self);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void chooser_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(object);
    const gchar *name = chooser_property_name(id);
    if (name && strcmp(name, "action") == 0)
        g_value_set_enum(value, self->action);
    else if (name && strcmp(name, "select-multiple") == 0)
        g_value_set_boolean(value, self->select_multiple);
    else if (name && strcmp(name, "local-only") == 0)
        g_value_set_boolean(value, FALSE);
    else if (name)
        give_chooser_value(object, name, value, pspec);
    else if (id == PROP_FILE_SYSTEM_MODEL)
        g_value_set_object(value, self->model);
    else if (id == PROP_SHOW_FOLDER_BUTTON)
        g_value_set_boolean(value, self->show_folder_button);
    else if (id == PROP_SHOW_LOCATION)
        g_value_set_boolean(value, self->show_location);
    else if (id == PROP_MAX_NAME_LENGTH)
        g_value_set_int(value, self->max_name_length);
    else if (id == PROP_AUTONAMING)
        g_value_set_boolean(value, self->autonaming);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
}

static void kivel_file_chooser_dialog_class_init(KivelFileChooserDialogClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    object_class->dispose = chooser_dispose;
    object_class->finalize = chooser_finalize;
    object_class->set_property = chooser_set_property;
    object_class->get_property = chooser_get_property;

    g_object_class_install_property(
        object_class, PROP_FILE_SYSTEM_MODEL,
        g_param_spec_object("file-system-model", "File system model", "The folders offered",
                            KIVEL_TYPE_FILE_SYSTEM_MODEL, G_PARAM_READWRITE));
    g_object_class_install_property(object_class, PROP_SHOW_FOLDER_BUTTON,
                                    g_param_spec_boolean("show-folder-button", "Show folder button",
                                                         "A button makes a new folder", TRUE,
                                                         G_PARAM_READWRITE));
    g_object_class_install_property(object_class, PROP_SHOW_LOCATION,
                                    g_param_spec_boolean("show-location", "Show location",
                                                         "The current folder is shown", TRUE,
                                                         G_PARAM_READWRITE));
    g_object_class_install_property(object_class, PROP_MAX_NAME_LENGTH,
                                    g_param_spec_int("max-name-length", "Longest name",
                                                     "Longest name in bytes", 1, G_MAXINT,
                                                     default_max_name_length, G_PARAM_READWRITE));
    g_object_class_install_property(object_class, PROP_AUTONAMING,
                                    g_param_spec_boolean("autonaming", "Autonaming",
                                                         "Proposed names are made free", TRUE,
                                                         G_PARAM_READWRITE));

    gpointer iface = g_type_default_interface_ref(GTK_TYPE_FILE_CHOOSER);
    guint n = 0;
    GParamSpec **specs = g_object_interface_list_properties(iface, &n);
    g_warn_if_fail(n <= max_chooser_properties);
    for (guint i = 0; i < n && i < max_chooser_properties; i++) {
        chooser_property_names[i] = g_intern_string(specs[i]->name);
        g_object_class_override_property(object_class, PROP_CHOOSER_FIRST + i, specs[i]->name);
    }
    g_free(specs);
    g_type_default_interface_unref(iface);
}

// ---- GtkFileChooser ----

static KivelFileChooserDialog *self_of(GtkFileChooser *chooser)
{
    return KIVEL_FILE_CHOOSER_DIALOG(chooser);
}

static gboolean iface_set_current_folder(GtkFileChooser *chooser, GFile *file, GError **error)
{
    auto *self = self_of(chooser);
    ulvo::GCharPtr uri(file ? g_file_get_uri(file) : nullptr);
    if (!uri) {
        g_set_error(error, GTK_FILE_CHOOSER_ERROR, GTK_FILE_CHOOSER_ERROR_BAD_FILENAME,
                    "No folder given");
        return FALSE;
    }
    set_folder(self, uri.get());
    if (self->action == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER) {
        g_free(self->reveal_uri);
        self->reveal_uri = g_strdup(uri.get());
        try_reveal(self);
    }
    return TRUE;
}

static GFile *iface_get_current_folder(GtkFileChooser *chooser)
{
    auto *self = self_of(chooser);
    return self->folder_uri ? g_file_new_for_uri(self->folder_uri) : nullptr;
}

// The caller's name is a proposal too: autonaming makes it free.
static void iface_set_current_name(GtkFileChooser *chooser, const gchar *name)
{
    g_return_if_fail(name != nullptr);
    self_of(chooser)->name_given = true;
    set_name(self_of(chooser), name, true);
}

static gboolean iface_select_file(GtkFileChooser *chooser, GFile *file, GError **error)
{
    return iface_set_current_folder(chooser, file, error);
}

static void iface_unselect_file(GtkFileChooser *chooser, GFile *)
{
    gtk_tree_selection_unselect_all(
        gtk_tree_view_get_selection(GTK_TREE_VIEW(self_of(chooser)->tree_view)));
}

static void iface_select_all(GtkFileChooser *chooser)
{
    auto *self = self_of(chooser);
    if (self->select_multiple)
        gtk_tree_selection_select_all(gtk_tree_view_get_selection(GTK_TREE_VIEW(self->tree_view)));
}

struct SelectedFiles {
    KivelFileChooserDialog *self;
    GSList *files;
};

static void add_selected_file(GtkTreeModel *, GtkTreePath *, GtkTreeIter *shown, gpointer data)
{
    auto *selected = static_cast<SelectedFiles *>(data);
    GtkTreeIter row;
    model_row_of(selected->self, &row, shown);
    ulvo::GCharPtr uri(row_uri(selected->self, &row));
    if (uri)
        selected->files = g_slist_prepend(selected->files, g_file_new_for_uri(uri.get()));
}

// (transfer full) The chosen folders, or the typed name in the folder.
static GSList *iface_get_files(GtkFileChooser *chooser)
{
    auto *self = self_of(chooser);
    if (self->action != GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER) {
        // A name asked for without a folder lands in the home folder.
        ulvo::GCharPtr home(
            self->folder_uri ? nullptr : g_filename_to_uri(g_get_home_dir(), nullptr, nullptr));
        GFile *child = child_of_folder(self->folder_uri ? self->folder_uri : home.get(),
                                       gtk_entry_get_text(GTK_ENTRY(self->name_entry)));
        return child ? g_slist_prepend(nullptr, child) : nullptr;
    }
    if (self->select_multiple && self->tree) {
        SelectedFiles selected = {self, nullptr};
        gtk_tree_selection_selected_foreach(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(self->tree_view)), add_selected_file,
            &selected);
        if (selected.files)
            return g_slist_reverse(selected.files);
    }
    return self->folder_uri ? g_slist_prepend(nullptr, g_file_new_for_uri(self->folder_uri))
                            : nullptr;
}

static GFile *iface_no_file(GtkFileChooser *)
{
    return nullptr;
}

static gpointer iface_no_file_system(GtkFileChooser *)
{
    return nullptr;
}

static void iface_ignore_filter(GtkFileChooser *, GtkFileFilter *) {}

static GSList *iface_no_list(GtkFileChooser *)
{
    return nullptr;
}

static gboolean iface_no_shortcuts(GtkFileChooser *, GFile *, GError **error)
{
    g_set_error(error, GTK_FILE_CHOOSER_ERROR, GTK_FILE_CHOOSER_ERROR_NONEXISTENT,
                "This chooser has no shortcut folders");
    return FALSE;
}

static void chooser_iface_init(gpointer g_iface, gpointer)
{
    auto *iface = static_cast<ChooserIface *>(g_iface);
    iface->set_current_folder = iface_set_current_folder;
    iface->get_current_folder = iface_get_current_folder;
    iface->set_current_name = iface_set_current_name;
    iface->select_file = iface_select_file;
    iface->unselect_file = iface_unselect_file;
    iface->select_all = iface_select_all;
    iface->unselect_all = [](GtkFileChooser *chooser) { iface_unselect_file(chooser, nullptr); };
    iface->get_files = iface_get_files;
    iface->get_preview_file = iface_no_file;
    iface->get_file_system = iface_no_file_system;
    iface->add_filter = iface_ignore_filter;
    iface->remove_filter = iface_ignore_filter;
    iface->list_filters = iface_no_list;
    iface->add_shortcut_folder = iface_no_shortcuts;
    iface->remove_shortcut_folder = iface_no_shortcuts;
    iface->list_shortcut_folders = iface_no_list;
}

// ---- public calls ----

GtkWidget *kivel_file_chooser_dialog_new_with_properties(GtkWindow *parent,
                                                         const gchar *first_property_name, ...)
{
    g_return_val_if_fail(parent == nullptr || GTK_IS_WINDOW(parent), nullptr);
    va_list args;
    va_start(args, first_property_name);
    GObject *object =
        g_object_new_valist(KIVEL_TYPE_FILE_CHOOSER_DIALOG, first_property_name, args);
    va_end(args);
    GtkWindow *window = GTK_WINDOW(object);
    if (parent) {
        gtk_window_set_transient_for(window, parent);
        gtk_window_set_destroy_with_parent(window, TRUE);
    }
    return GTK_WIDGET(object);
}

void kivel_file_chooser_dialog_set_show_upnp(GtkWidget *dialog, gboolean show)
{
    g_return_if_fail(KIVEL_IS_FILE_CHOOSER_DIALOG(dialog));
    auto *self = KIVEL_FILE_CHOOSER_DIALOG(dialog);
    self->show_upnp = show;
    if (self->tree)
        kivel_folder_tree_refilter(self->tree);
}

const gchar *kivel_file_chooser_dialog_get_name(GtkWidget *dialog)
{
    g_return_val_if_fail(KIVEL_IS_FILE_CHOOSER_DIALOG(dialog), nullptr);
    return gtk_entry_get_text(GTK_ENTRY(KIVEL_FILE_CHOOSER_DIALOG(dialog)->name_entry));
}
