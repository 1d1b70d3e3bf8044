#include "app/file-manager1.h"

#include "app/rpc.h"
#include "model/app-record.h"
#include "model/path-label.h"
#include "model/paths.h"
#include "platform/selection/kivel-file-selection.h"
#include "ui/details.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <gdk/gdk.h>
#include <gio/gio.h>
#include <string.h>

using ulvo::GCharPtr;

static const gchar introspection_xml[] = "<node>"
                                         " <interface name='org.freedesktop.FileManager1'>"
                                         "  <method name='ShowFolders'>"
                                         "   <arg type='as' name='URIs' direction='in'/>"
                                         "   <arg type='s' name='StartupId' direction='in'/>"
                                         "  </method>"
                                         "  <method name='ShowItems'>"
                                         "   <arg type='as' name='URIs' direction='in'/>"
                                         "   <arg type='s' name='StartupId' direction='in'/>"
                                         "  </method>"
                                         "  <method name='ShowItemProperties'>"
                                         "   <arg type='as' name='URIs' direction='in'/>"
                                         "   <arg type='s' name='StartupId' direction='in'/>"
                                         "  </method>"
                                         " </interface>"
                                         "</node>";

static guint owner_id;
static guint registration_id;
static GDBusConnection *registered_on;
static GDBusNodeInfo *introspection;

// How long ShowItemProperties waits for the item to be listed and selected.
#define PROPERTIES_WAIT_MS 100
#define PROPERTIES_WAIT_TICKS 100

static KivelFileSelection *main_selection(void)
{
    if (!global_ofm || !global_ofm->file_selection)
        return nullptr;
    return KIVEL_FILE_SELECTION(global_ofm->file_selection);
}

// Selects the items of `uris` that share the first one's folder, once that
// folder is entered and listed. FALSE when the first item is not there.
static gboolean show_items(const gchar *const *uris, GError **error)
{
    KivelFileSelection *fs = main_selection();
    if (!fs) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_FAILED, "The window is not ready yet");
        return FALSE;
    }
    if (!ulvo_vfs_uri_exists(uris[0])) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_FILE_NOT_FOUND, "%s does not exist", uris[0]);
        return FALSE;
    }
    GCharPtr folder(ulvo_fm_texturi_get_parent(uris[0]));
    if (!folder) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "%s has no folder", uris[0]);
        return FALSE;
    }
    GSList *same_folder = nullptr;
    for (const gchar *const *u = uris; *u; u++) {
        GCharPtr parent(ulvo_fm_texturi_get_parent(*u));
        if (g_strcmp0(parent.get(), folder.get()) == 0)
            same_folder = g_slist_prepend(same_folder, const_cast<gchar *>(*u));
    }
    same_folder = g_slist_reverse(same_folder);
    kivel_file_selection_select_uris_when_listed(fs, folder.get(), same_folder);
    g_slist_free(same_folder);
    return ulvo_fm_open_folder(folder.get(), error);
}

static gboolean first_selected_is(KivelFileSelection *fs, const gchar *uri)
{
    GSList *selected = kivel_file_selection_get_selected_uris(fs);
    gboolean is = selected && g_strcmp0(static_cast<const gchar *>(selected->data), uri) == 0;
    ulvo_fm_free_texturi_list(selected);
    return is;
}

struct PropertiesWait {
    gchar *uri;
    guint ticks;
};

static void properties_wait_free(gpointer data)
{
    auto *wait = static_cast<PropertiesWait *>(data);
    g_free(wait->uri);
    g_free(wait);
}

static gboolean show_properties_when_selected(gpointer data)
{
    auto *wait = static_cast<PropertiesWait *>(data);
    KivelFileSelection *fs = main_selection();
    if (!fs || ++wait->ticks > PROPERTIES_WAIT_TICKS) {
        g_warning("%s was not listed in time to show its details", wait->uri);
        return FALSE;
    }
    if (!first_selected_is(fs, wait->uri))
        return TRUE;
    ulvo_fm_show_details(global_ofm);
    return FALSE;
}

static gboolean show_item_properties(const gchar *const *uris, GError **error)
{
    const gchar *first[] = {uris[0], nullptr};
    if (!show_items(first, error))
        return FALSE;
    auto *wait = g_new0(PropertiesWait, 1);
    wait->uri = g_strdup(uris[0]);
    gdk_threads_add_timeout_full(G_PRIORITY_DEFAULT, PROPERTIES_WAIT_MS,
                                 show_properties_when_selected, wait, properties_wait_free);
    return TRUE;
}

static gboolean check_uris(const gchar *const *uris, GError **error)
{
    if (!uris || !uris[0]) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "No URI given");
        return FALSE;
    }
    for (const gchar *const *u = uris; *u; u++) {
        if (const gchar *problem = ulvo_fm_location_uri_problem(*u)) {
            g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "%s %s", *u, problem);
            return FALSE;
        }
    }
    return TRUE;
}

static gboolean dispatch(const gchar *method, const gchar *const *uris, GError **error)
{
    if (!check_uris(uris, error))
        return FALSE;
    if (strcmp(method, "ShowFolders") == 0) {
        return ulvo_fm_open_folder(uris[0], error);
    }
    if (strcmp(method, "ShowItems") == 0)
        return show_items(uris, error);
    return show_item_properties(uris, error);
}

// GDBus calls in without the GDK lock.
static void on_method_call(GDBusConnection *, const gchar *, const gchar *, const gchar *,
                           const gchar *method, GVariant *parameters,
                           GDBusMethodInvocation *invocation, gpointer)
{
    const gchar **uris = nullptr;
    const gchar *startup_id = nullptr;
    g_variant_get(parameters, "(^a&s&s)", &uris, &startup_id);
    GError *error = nullptr;
    gdk_threads_enter();
    gboolean done = dispatch(method, uris, &error);
    gdk_threads_leave();
    g_free(uris);
    if (done)
        g_dbus_method_invocation_return_value(invocation, nullptr);
    else
        g_dbus_method_invocation_take_error(invocation, error);
}

static const GDBusInterfaceVTable vtable = {on_method_call, nullptr, nullptr, {}};

static void on_bus_acquired(GDBusConnection *connection, const gchar *, gpointer)
{
    GError *error = nullptr;
    registration_id = g_dbus_connection_register_object(connection, ULVO_FM_FILE_MANAGER1_PATH,
                                                        introspection->interfaces[0], &vtable,
                                                        nullptr, nullptr, &error);
    if (!registration_id) {
        g_warning("Cannot serve %s: %s", ULVO_FM_FILE_MANAGER1_NAME, error->message);
        g_error_free(error);
        return;
    }
    registered_on = G_DBUS_CONNECTION(g_object_ref(connection));
}

void ulvo_fm_file_manager1_start(void)
{
    if (owner_id)
        return;
    if (!introspection)
        introspection = g_dbus_node_info_new_for_xml(introspection_xml, nullptr);
    // Without a replace flag another file manager keeps the name; ours is
    // queued and served only once the name is free.
    owner_id =
        g_bus_own_name(G_BUS_TYPE_SESSION, ULVO_FM_FILE_MANAGER1_NAME, G_BUS_NAME_OWNER_FLAGS_NONE,
                       on_bus_acquired, nullptr, nullptr, nullptr, nullptr);
}

void ulvo_fm_file_manager1_stop(void)
{
    if (owner_id)
        g_bus_unown_name(owner_id);
    owner_id = 0;
    if (registered_on) {
        g_dbus_connection_unregister_object(registered_on, registration_id);
        g_object_unref(registered_on);
    }
    registered_on = nullptr;
    registration_id = 0;
}
