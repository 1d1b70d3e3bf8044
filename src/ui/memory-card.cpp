#include "ui/memory-card.h"

#include "app/ulvo-fm-app.h"
#include "model/paths.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "platform/toolkit/kivel-note.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <gconf/gconf-client.h>
#include <gio/gunixmounts.h>
#include <initializer_list>
#include <libintl.h>
#include <locale.h>
#include <string.h>

using ulvo::GCharPtr;
using ulvo::GObjPtr;

namespace
{

const char *const KE_RECV_SERVICE = "com.kavra.ke_recv";
const char *const USB_PREFIX = "file:///media/usb/";
const gsize MAX_LABEL_BYTES = 11;

const gchar *text(const gchar *catalog, const gchar *id)
{
    return dcgettext(catalog, id, LC_MESSAGES);
}

void banner(const gchar *catalog, const gchar *id)
{
    fm_infoprint(GTK_WINDOW(global_ofm->window), text(catalog, id));
}

GtkWindow *app_window(UlvoFmApp *app)
{
    return app && app->window ? GTK_WINDOW(app->window) : nullptr;
}

gboolean read_bool(GConfClient *client, const gchar *key)
{
    GError *error = nullptr;
    gboolean value = gconf_client_get_bool(client, key, &error);
    if (error) {
        g_warning("Cannot read %s: %s\n", key, error->message);
        g_error_free(error);
        return FALSE;
    }
    return value;
}

// The card's folder in the documents tree is where the chooser stands; the
// typed name is the only part of its URI that counts.
GCharPtr documents_uri()
{
    GCharPtr docs(g_build_filename(g_get_home_dir(), "MyDocs", nullptr));
    return GCharPtr(g_filename_to_uri(docs.get(), nullptr, nullptr));
}

// (transfer full) The typed name, or NULL when none was typed.
gchar *typed_name(GtkFileChooser *chooser)
{
    GCharPtr uri(gtk_file_chooser_get_uri(chooser));
    GCharPtr docs(documents_uri());
    if (!uri || strlen(uri.get()) <= strlen(docs.get()))
        return nullptr;
    GCharPtr name(ulvo_vfs_uri_short_path_name(uri.get()));
    if (!name)
        return nullptr;
    GCharPtr plain(ulvo_vfs_unescape_string(name.get(), nullptr));
    GCharPtr stripped(plain ? g_strstrip(g_strdup(plain.get())) : nullptr);
    return stripped && *stripped ? plain.release() : nullptr;
}

void on_rename_mmc_response(GtkDialog *dialog, gint response, gpointer)
{
    if (response != GTK_RESPONSE_OK)
        return;
    GCharPtr name(typed_name(GTK_FILE_CHOOSER(dialog)));
    if (name)
        return;
    g_signal_stop_emission_by_name(dialog, "response");
    banner("kivel-common-strings", "ckdg_ib_enter_name");
    g_signal_emit_by_name(dialog, "show");
}

// Cuts `text` to at most `bytes` bytes without splitting a character.
void cut_utf8(gchar *text, gsize bytes)
{
    if (strlen(text) <= bytes)
        return;
    const gchar *end = nullptr;
    g_utf8_validate(text, bytes, &end);
    text[end - text] = '\0';
}

// (transfer full) What the name entry first holds: the card's present name.
gchar *proposed_label(UlvoFmApp *app, const gchar *uri)
{
    GObjPtr<GFile> card(g_file_new_for_uri(uri));
    GObjPtr<GMount> mount(g_file_find_enclosing_mount(card.get(), nullptr, nullptr));
    if (mount) {
        GCharPtr name(g_mount_get_name(mount.get()));
        if (name && g_str_has_prefix(name.get(), "mmc-undefined-name"))
            return g_strdup("");
    }
    GtkTreeModel *model = nullptr;
    if (app->file_selection)
        g_object_get(app->file_selection, "model", &model, NULL);
    gchar *name =
        ulvo_fm_texturi_get_display_name(model ? KIVEL_FILE_SYSTEM_MODEL(model) : nullptr, uri);
    if (model)
        g_object_unref(model);
    if (!name)
        return g_strdup("");
    cut_utf8(name, MAX_LABEL_BYTES);
    return g_strchomp(name);
}

GtkWidget *new_rename_dialog(UlvoFmApp *app, const gchar *uri)
{
    GtkTreeModel *model = nullptr;
    if (app->file_selection)
        g_object_get(app->file_selection, "model", &model, NULL);
    GtkWidget *dialog =
        model ? kivel_file_chooser_dialog_new_with_properties(
                    app_window(app), "action", GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER,
                    "file-system-model", model, "select-multiple", FALSE, "show-folder-button",
                    FALSE, "show-location", FALSE, "autonaming", FALSE, "max-name-length",
                    int(MAX_LABEL_BYTES), NULL)
              : kivel_file_chooser_dialog_new_with_properties(
                    app_window(app), "action", GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER,
                    "select-multiple", FALSE, "show-folder-button", FALSE, "show-location", FALSE,
                    "autonaming", FALSE, "max-name-length", int(MAX_LABEL_BYTES), NULL);
    if (model)
        g_object_unref(model);

    // The chooser's own empty-name rule would let a name of blanks through.
    guint signal = g_signal_lookup("response", GTK_TYPE_DIALOG);
    gulong own =
        g_signal_handler_find(dialog, G_SIGNAL_MATCH_ID, signal, 0, nullptr, nullptr, nullptr);
    if (own)
        g_signal_handler_block(dialog, own);
    g_signal_connect(dialog, "response", G_CALLBACK(on_rename_mmc_response), nullptr);

    gtk_window_set_title(GTK_WINDOW(dialog), text("ulvo-filemanager", "sfil_ti_rename_mmc"));
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    GCharPtr docs(documents_uri());
    gtk_file_chooser_set_current_folder_uri(GTK_FILE_CHOOSER(dialog), docs.get());
    GCharPtr proposed(proposed_label(app, uri));
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), proposed.get());
    return dialog;
}

// A FAT label shares the root folder with the card's files, whatever the case.
gboolean label_names_a_file(const gchar *card_path, const gchar *name)
{
    if (!card_path)
        return FALSE;
    GCharPtr label(g_utf8_strup(name, -1));
    for (const gchar *candidate : {name, static_cast<const gchar *>(label.get())}) {
        GCharPtr path(g_strconcat(card_path, "/", candidate, nullptr));
        cut_utf8(path.get(), 255);
        if (g_file_test(path.get(), G_FILE_TEST_EXISTS))
            return TRUE;
    }
    return FALSE;
}

// (transfer full) The label the user settles on, or NULL when cancelled.
gchar *ask_label(GtkWidget *dialog, const gchar *card_path)
{
    for (;;) {
        if (gtk_dialog_run(GTK_DIALOG(dialog)) != GTK_RESPONSE_OK)
            return nullptr;
        GCharPtr name(typed_name(GTK_FILE_CHOOSER(dialog)));
        if (!name) {
            banner("kivel-common-strings", "ckdg_ib_enter_name");
            continue;
        }
        if (label_names_a_file(card_path, name.get())) {
            banner("ulvo-filemanager", "sfil_ib_card_name_in_use_for_file");
            g_signal_emit_by_name(dialog, "show");
            continue;
        }
        g_signal_emit_by_name(dialog, "show");
        gchar *illegal = nullptr;
        if (ulvo_fm_check_mmc_name(name.get(), &illegal))
            return g_utf8_strup(name.get(), -1);
        GCharPtr message(g_strdup_printf(
            text("kivel-common-strings", "ckdg_ib_illegal_characters_entered"), illegal));
        g_free(illegal);
        fm_infoprint(GTK_WINDOW(global_ofm->window), message.get());
        g_signal_emit_by_name(dialog, "show");
    }
}

const gchar *reply_text(const ulvo_rpc_t &reply)
{
    return reply.type == DBUS_TYPE_STRING && reply.value.s ? reply.value.s : "";
}

gint send_request(const gchar *object_path, const gchar *method, const gchar *model_extra,
                  const gchar *second, ulvo_rpc_t *reply)
{
    return ulvo_rpc_run(fm_app_ctx, KE_RECV_SERVICE, object_path, KE_RECV_SERVICE, method, reply,
                        DBUS_TYPE_STRING, model_extra ? model_extra : "", DBUS_TYPE_STRING, second,
                        DBUS_TYPE_INVALID);
}

// Whatever the service answered, the person learns that nothing was done.
void show_failure_note(const ulvo_rpc_t &reply, const gchar *in_use_id)
{
    if (g_ascii_strcasecmp(reply_text(reply), "in_use") == 0)
        fm_infonote(GTK_WINDOW(global_ofm->window), text("ulvo-filemanager", in_use_id), nullptr);
    else
        fm_infonote(GTK_WINDOW(global_ofm->window),
                    text("kivel-common-strings", "sfil_ni_operation_failed"),
                    text("kivel-common-strings", "sfil_ni_operation_failed_ok"));
}

void send_rename(const gchar *model_extra, const gchar *label)
{
    ulvo_rpc_t reply = {};
    gint result = send_request("/com/kavra/ke_recv/rename", "rename", model_extra, label, &reply);
    switch (result) {
    case ULVO_ERROR:
    case ULVO_ERROR_SERVICE_ERROR:
    case ULVO_ERROR_NO_SERVICE:
    case ULVO_ERROR_TIMEOUT:
        g_warning("Renaming MMC Error: %s\n", reply_text(reply));
        break;
    case ULVO_ERROR_INVALID_PARAMS:
    case ULVO_ERROR_RPC_FAILED:
        g_warning("Error Invalid parameters\n");
        break;
    default:
        break;
    }
    if (result < 0)
        show_failure_note(reply, "sfil_ni_mmc_rename_mmc_in_use");
    ulvo_rpc_free_val(&reply);
}

void send_format(const gchar *model_extra)
{
    ulvo_rpc_t reply = {};
    gint result = send_request("/com/kavra/ke_recv/format", "format", model_extra, "", &reply);
    switch (result) {
    case ULVO_ERROR:
    case ULVO_ERROR_NO_SERVICE:
    case ULVO_ERROR_TIMEOUT:
        g_warning("Error: %s\n", reply_text(reply));
        break;
    case ULVO_ERROR_INVALID_PARAMS:
    case ULVO_ERROR_RPC_FAILED:
        g_warning("Error Invalid parameters\n");
        break;
    case ULVO_ERROR_SERVICE_ERROR:
        g_warning("Error: %s\n", reply_text(reply));
        break;
    default:
        break;
    }
    if (result < 0)
        show_failure_note(reply, "sfil_ni_mmc_format_mmc_in_use");
    ulvo_rpc_free_val(&reply);
}

// The format confirmation and what tells it that its card went away.
struct FormatWatch {
    GtkWidget *note;
    gchar *uri;
    gchar *path;
    gboolean was_mounted;
};

void cancel_confirmation(FormatWatch *watch)
{
    gdk_threads_enter();
    gtk_dialog_response(GTK_DIALOG(watch->note), GTK_RESPONSE_DELETE_EVENT);
    gdk_threads_leave();
}

void on_format_volume_unmounted(GVolumeMonitor *, GMount *mount, gpointer data)
{
    auto *watch = static_cast<FormatWatch *>(data);
    GObjPtr<GFile> root(g_mount_get_root(mount));
    GCharPtr root_uri(root ? g_file_get_uri(root.get()) : nullptr);
    if (root_uri && strcmp(root_uri.get(), watch->uri) == 0)
        cancel_confirmation(watch);
}

// Cards that no volume monitor lists are still in the mount table.
void on_format_mounts_changed(GUnixMountMonitor *, gpointer data)
{
    auto *watch = static_cast<FormatWatch *>(data);
    if (!watch->was_mounted || !watch->path)
        return;
    GUnixMountEntry *entry = g_unix_mount_at(watch->path, nullptr);
    if (entry) {
        g_unix_mount_free(entry);
        return;
    }
    cancel_confirmation(watch);
}

gboolean is_mount_point(const gchar *path)
{
    GUnixMountEntry *entry = path ? g_unix_mount_at(path, nullptr) : nullptr;
    if (!entry)
        return FALSE;
    g_unix_mount_free(entry);
    return TRUE;
}

gint run_format_confirmation(const gchar *uri)
{
    GtkWidget *note = kivel_note_new_confirmation(GTK_WINDOW(global_ofm->window),
                                                  text("ulvo-filemanager", "hfil_nc_format_mmc"));
    g_object_set_data_full(G_OBJECT(note), "uri", g_strdup(uri), g_free);
    GCharPtr path(ulvo_vfs_get_local_path_from_uri(uri));
    FormatWatch watch = {note, const_cast<gchar *>(uri), path.get(), is_mount_point(path.get())};

    GObjPtr<GVolumeMonitor> volumes(g_volume_monitor_get());
    GObjPtr<GUnixMountMonitor> mounts(g_unix_mount_monitor_get());
    gulong unmounted = g_signal_connect(volumes.get(), "mount-removed",
                                        G_CALLBACK(on_format_volume_unmounted), &watch);
    gulong changed = g_signal_connect(mounts.get(), "mounts-changed",
                                      G_CALLBACK(on_format_mounts_changed), &watch);
    gint response = gtk_dialog_run(GTK_DIALOG(note));
    g_signal_handler_disconnect(volumes.get(), unmounted);
    g_signal_handler_disconnect(mounts.get(), changed);
    gtk_widget_destroy(note);
    return response;
}

} // namespace

gboolean ulvo_fm_mmc_is_swap(const gchar *uri)
{
    g_return_val_if_fail(uri != nullptr, FALSE);
    if (g_str_has_prefix(uri, "drive:///dev/sd") || g_str_has_prefix(uri, USB_PREFIX))
        return FALSE;
    GConfClient *client = gconf_client_get_default();
    if (!client)
        return FALSE;
    gboolean swap;
    GCharPtr mount_point(
        gconf_client_get_string(client, "/system/ulvo/af/mmc-mount-point", nullptr));
    GCharPtr mount_uri(mount_point ? g_filename_to_uri(mount_point.get(), nullptr, nullptr)
                                   : nullptr);
    if (mount_uri && strcmp(uri, mount_uri.get()) == 0)
        swap = read_bool(client, "/system/ulvo/af/mmc-swap");
    else
        swap = read_bool(client, "/system/ulvo/af/internal-mmc-swap");
    g_object_unref(client);
    return swap;
}

gboolean ulvo_fm_check_mmc_name(const gchar *name, gchar **illegal)
{
    g_return_val_if_fail(name != nullptr, FALSE);
    GString *found = g_string_new(nullptr);
    for (const gchar *p = name; p && *p; p = g_utf8_find_next_char(p, nullptr)) {
        gunichar c = g_utf8_get_char(p);
        bool allowed =
            c < 0x80 && (g_unichar_isspace(c) || g_unichar_isalnum(c)) && !g_unichar_ispunct(c);
        if (allowed)
            continue;
        gchar one[7] = {0};
        g_unichar_to_utf8(c, one);
        if (!strstr(found->str, one))
            g_string_append(found, one);
    }
    gboolean valid = found->len == 0;
    if (illegal)
        *illegal = valid ? (g_string_free(found, TRUE), nullptr) : g_string_free(found, FALSE);
    else
        g_string_free(found, TRUE);
    return valid;
}

void ulvo_fm_rename_mmc(UlvoFmApp *app, const gchar *uri, const gchar *model_extra)
{
    g_return_if_fail(app != nullptr);
    g_return_if_fail(uri != nullptr);
    ulvo_fm_set_operation(OPER_RENAME_MMC);
    GtkWidget *dialog = new_rename_dialog(app, uri);
    gtk_widget_show(dialog);
    GCharPtr card_path(ulvo_vfs_get_local_path_from_uri(uri));
    GCharPtr label(ask_label(dialog, card_path.get()));
    gtk_widget_destroy(dialog);
    if (label)
        send_rename(model_extra, label.get());
    ulvo_fm_set_operation(OPER_NONE);
}

gboolean ulvo_fm_format_selection(UlvoFmApp *app)
{
    if (!app || !app->window || !GTK_IS_WIDGET(app->window)) {
        g_warning("Invalid parameter : window specified");
        return FALSE;
    }
    ulvo_fm_update_selection_info(app->selection_info, KIVEL_FILE_SELECTION(app->file_selection),
                                  1);
    if (ulvo_fm_selection_info_get_selection_type(app->selection_info) != SIT_DEVICE_ROOT ||
        !app->selection_info->path_info) {
        banner("ulvo-backup", "back_fi_general_error");
        return FALSE;
    }
    auto *entry = static_cast<UlvoFmPathInfo *>(app->selection_info->path_info->data);
    // Without a device of its own (the documents folder on the system's
    // disk) there is nothing the service could format.
    if (g_str_has_prefix(entry->uri, USB_PREFIX) || !entry->model_extra || !*entry->model_extra) {
        banner("ulvo-backup", "back_fi_general_error");
        return FALSE;
    }
    if (ulvo_fm_mmc_is_swap(entry->uri)) {
        banner("ulvo-filemanager", "sfil_ni_mmc_format_mmc_in_use");
        return FALSE;
    }
    // The selection may change while the note runs.
    GCharPtr uri(g_strdup(entry->uri));
    GCharPtr model_extra(g_strdup(entry->model_extra));
    ulvo_fm_format_mmc(uri.get(), model_extra.get());
    return TRUE;
}

void ulvo_fm_format_mmc(const gchar *uri, const gchar *model_extra)
{
    g_return_if_fail(uri != nullptr);
    ulvo_fm_set_operation(OPER_FORMAT_MMC);
    if (run_format_confirmation(uri) == GTK_RESPONSE_OK)
        send_format(model_extra);
    ulvo_fm_set_operation(OPER_NONE);
}

void ulvo_fm_show_memory_usage(gpointer data)
{
    if (ulvo_cp_plugin_execute(fm_app_ctx, "libcpmemory.so", data, TRUE) != ULVO_OK)
        g_warning("Unable to open the memory usage view\n");
}
