#include "ui/app-chooser.h"

#include "model/paths.h"
#include "platform/libulvo/ulvo.h"
#include "platform/selection/kivel-file-selection.h"
#include "platform/toolkit/kivel-pannable.h"
#include "vfs/glib-ptr.h"

#include <dbus/dbus.h>
#include <gio/gio.h>
#include <libintl.h>
#include <locale.h>
#include <string.h>

using ulvo::GCharPtr;
using ulvo::GKeyFilePtr;
using ulvo::GObjPtr;

#define DEFAULT_TEXT_DOMAIN "velmo-af-desktop"
#define TASKNAV_SERVICE "com.kavra.tasknav"
#define TASKNAV_PATH "/com/kavra/tasknav/app_launch_banner"
#define TASKNAV_INTERFACE "com.kavra.tasknav.app_launch_banner"

enum { COLUMN_TITLE, COLUMN_SERVICE };

gboolean ulvo_fm_app_service_address(const gchar *service, gchar **name, gchar **object_path)
{
    g_return_val_if_fail(service && name && object_path, FALSE);
    GCharPtr bus_name, path;
    if (strchr(service, '.')) {
        bus_name.reset(g_strdup(service));
        path.reset(g_strdelimit(g_strdup_printf("/%s", service), ".", '/'));
    } else {
        bus_name.reset(g_strdup_printf("com.kavra.%s", service));
        path.reset(g_strdup_printf("/com/kavra/%s", service));
    }
    // libdbus aborts on malformed names, so a broken entry must not reach it.
    if (!dbus_validate_bus_name(bus_name.get(), nullptr) ||
        !dbus_validate_interface(bus_name.get(), nullptr) ||
        !dbus_validate_path(path.get(), nullptr))
        return FALSE;
    *name = bus_name.release();
    *object_path = path.release();
    return TRUE;
}

static gchar *start_group_string(GKeyFile *file, const gchar *key)
{
    GCharPtr group(g_key_file_get_start_group(file));
    return group ? g_key_file_get_string(file, group.get(), key, nullptr) : nullptr;
}

static void add_entry_file(GtkListStore *store, const gchar *file_name)
{
    GKeyFilePtr file(g_key_file_new());
    ulvo::ErrorOut error;
    if (!g_key_file_load_from_file(file.get(), file_name, G_KEY_FILE_NONE, error.out())) {
        g_warning("Cannot read %s: %s", file_name, error.get()->message);
        return;
    }
    GCharPtr name(start_group_string(file.get(), "Name"));
    GCharPtr service(start_group_string(file.get(), "X-Ulvo-Service"));
    GCharPtr domain(start_group_string(file.get(), "X-Text-Domain"));
    if (!name || !service)
        return;
    gchar *bus_name = nullptr, *path = nullptr;
    if (!ulvo_fm_app_service_address(service.get(), &bus_name, &path)) {
        g_warning("%s names no usable service: %s", file_name, service.get());
        return;
    }
    g_free(bus_name);
    g_free(path);
    const gchar *title = dgettext(domain ? domain.get() : DEFAULT_TEXT_DOMAIN, name.get());
    gtk_list_store_insert_with_values(store, nullptr, -1, COLUMN_TITLE, title, COLUMN_SERVICE,
                                      service.get(), -1);
}

// Depth-first, each entry read from the folder it was found in. Linked
// folders are not followed, so a loop cannot keep the walk going.
static void add_entries_below(GtkListStore *store, GFile *folder)
{
    ulvo::ErrorOut error;
    GObjPtr<GFileEnumerator> children(g_file_enumerate_children(
        folder, G_FILE_ATTRIBUTE_STANDARD_NAME "," G_FILE_ATTRIBUTE_STANDARD_TYPE,
        G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, error.out()));
    if (!children) {
        if (!g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_NOT_FOUND))
            g_warning("Cannot list applications: %s", error.get()->message);
        return;
    }
    for (;;) {
        ulvo::ErrorOut next_error;
        GObjPtr<GFileInfo> info(
            g_file_enumerator_next_file(children.get(), nullptr, next_error.out()));
        if (!info) {
            if (next_error)
                g_warning("Cannot list applications: %s", next_error.get()->message);
            return;
        }
        GObjPtr<GFile> child(g_file_get_child(folder, g_file_info_get_name(info.get())));
        if (g_file_info_get_file_type(info.get()) == G_FILE_TYPE_DIRECTORY) {
            add_entries_below(store, child.get());
        } else if (strstr(g_file_info_get_name(info.get()), ".desktop")) {
            GCharPtr path(g_file_get_path(child.get()));
            add_entry_file(store, path.get());
        }
    }
}

void ulvo_fm_application_chooser_fill(UlvoFmAppChooser *chooser, const gchar *folder)
{
    g_return_if_fail(chooser && folder);
    GObjPtr<GFile> top(g_file_new_for_path(folder));
    add_entries_below(chooser->store, top.get());
}

// Fire and forget: nothing here waits for the application or the navigator.
static void send_open_request(const gchar *name, const gchar *path, GSList *uris)
{
    DBusConnection *connection = ulvo_get_dbus_connection(fm_app_ctx);
    if (!connection) {
        g_warning("No session bus to open files with %s", name);
        return;
    }
    DBusMessage *message = dbus_message_new_method_call(name, path, name, "mime_open");
    if (!message)
        return;
    dbus_message_set_no_reply(message, TRUE);
    for (GSList *l = uris; l; l = l->next) {
        const gchar *uri = static_cast<const gchar *>(l->data);
        if (!uri || !g_utf8_validate(uri, -1, nullptr)) {
            g_warning("Invalid UTF-8 passed to ulvo_mime_open\n");
            continue;
        }
        dbus_message_append_args(message, DBUS_TYPE_STRING, &uri, DBUS_TYPE_INVALID);
    }
    dbus_connection_send(connection, message, nullptr);
    dbus_connection_flush(connection);
    dbus_message_unref(message);

    DBusMessage *banner = dbus_message_new_method_call(TASKNAV_SERVICE, TASKNAV_PATH,
                                                       TASKNAV_INTERFACE, "app_launch_banner");
    if (!banner) {
        g_warning("Couldn't create msg to: %s\n", name);
        return;
    }
    if (dbus_message_append_args(banner, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID)) {
        dbus_connection_send(connection, banner, nullptr);
        dbus_connection_flush(connection);
    } else {
        g_warning("Couldn't add service: %s\n", name);
    }
    dbus_message_unref(banner);
}

static void on_row_activated(GtkTreeView *view, GtkTreePath *path, GtkTreeViewColumn *,
                             gpointer data)
{
    auto *chooser = static_cast<UlvoFmAppChooser *>(data);
    GtkTreeModel *model = gtk_tree_view_get_model(view);
    GtkTreeIter sorted, iter;
    if (!model || !gtk_tree_model_get_iter(model, &sorted, path))
        return;
    gtk_tree_model_sort_convert_iter_to_child_iter(GTK_TREE_MODEL_SORT(model), &iter, &sorted);
    gchar *service = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(chooser->store), &iter, COLUMN_SERVICE, &service, -1);
    GCharPtr service_owner(service);
    gchar *name = nullptr, *object_path = nullptr;
    if (service && ulvo_fm_app_service_address(service, &name, &object_path))
        send_open_request(name, object_path, chooser->uris);
    g_free(name);
    g_free(object_path);
    gtk_widget_destroy(chooser->dialog);
}

static GtkWidget *information_label(const gchar *first_uri)
{
    GCharPtr shown(first_uri && global_ofm && global_ofm->filesystem
                       ? ulvo_fm_texturi_get_shortname(global_ofm->filesystem, first_uri)
                       : nullptr);
    if (!shown)
        shown.reset(g_strdup(""));
    const gchar *format =
        dcgettext("ulvo-filemanager", "hfil_ia_select_application_information", LC_MESSAGES);
    GCharPtr text(g_strdup_printf(format, shown.get()));
    GtkWidget *label = gtk_label_new(text.get());
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
    return label;
}

UlvoFmAppChooser *ulvo_fm_application_chooser_new(const gchar *first_uri)
{
    auto *chooser = g_new0(UlvoFmAppChooser, 1);
    GtkWindow *parent = global_ofm && global_ofm->window ? GTK_WINDOW(global_ofm->window) : nullptr;
    chooser->dialog = gtk_dialog_new_with_buttons(
        dcgettext("ulvo-filemanager", "hfil_ti_select_application", LC_MESSAGES), parent,
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_NO_SEPARATOR), nullptr, NULL);
    gtk_window_set_resizable(GTK_WINDOW(chooser->dialog), FALSE);
    GdkGeometry size = {};
    size.min_width = size.max_width = 442;
    size.min_height = size.max_height = 300;
    gtk_window_set_geometry_hints(GTK_WINDOW(chooser->dialog), chooser->dialog, &size,
                                  GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));

    chooser->store = gtk_list_store_new(2, G_TYPE_STRING, G_TYPE_STRING);
    chooser->sort_model = gtk_tree_model_sort_new_with_model(GTK_TREE_MODEL(chooser->store));
    gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(chooser->sort_model), COLUMN_TITLE,
                                         GTK_SORT_ASCENDING);
    chooser->tree_view = gtk_tree_view_new_with_model(chooser->sort_model);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(chooser->tree_view), -1,
                                                "Application", gtk_cell_renderer_text_new(), "text",
                                                COLUMN_TITLE, NULL);
    GtkWidget *area = kivel_pannable_area_new();
    gtk_container_add(GTK_CONTAINER(area), chooser->tree_view);

    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), information_label(first_uri), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), area, TRUE, TRUE, 0);
    gtk_container_add(GTK_CONTAINER(GTK_DIALOG(chooser->dialog)->vbox), box);
    g_signal_connect(chooser->tree_view, "row-activated", G_CALLBACK(on_row_activated), chooser);
    return chooser;
}

static void application_chooser_free(UlvoFmAppChooser *chooser)
{
    g_object_unref(chooser->sort_model);
    g_object_unref(chooser->store);
    g_slist_free(chooser->uris);
    g_free(chooser);
}

void ulvo_fm_show_application_chooser(UlvoFmApp *app, GSList *uris)
{
    g_return_if_fail(app != nullptr);
    gboolean dragging = FALSE;
    if (app->file_selection)
        g_object_get(app->file_selection, "currently-dragging", &dragging, NULL);
    if (dragging)
        return;
    UlvoFmAppChooser *chooser =
        ulvo_fm_application_chooser_new(uris ? static_cast<const gchar *>(uris->data) : nullptr);
    ulvo_fm_application_chooser_fill(chooser, ULVO_FM_APPLICATIONS_DIR);
    gtk_widget_show_all(chooser->dialog);
    chooser->uris = g_slist_copy(uris);
    // The row activation destroys the dialog; any other end leaves it here.
    g_object_add_weak_pointer(G_OBJECT(chooser->dialog),
                              reinterpret_cast<gpointer *>(&chooser->dialog));
    gtk_dialog_run(GTK_DIALOG(chooser->dialog));
    if (chooser->dialog) {
        g_object_remove_weak_pointer(G_OBJECT(chooser->dialog),
                                     reinterpret_cast<gpointer *>(&chooser->dialog));
        gtk_widget_destroy(chooser->dialog);
    }
    application_chooser_free(chooser);
}
