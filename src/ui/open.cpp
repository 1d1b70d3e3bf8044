#include "ui/open.h"

#include "model/fm-assert.h"
#include "model/location.h"
#include "model/paths.h"
#include "platform/services/kivel-mime.h"
#include "ui/app-chooser.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"

#include <libintl.h>
#include <locale.h>

using ulvo::GCharPtr;
using ulvo::GObjPtr;
using ulvo::GUriList;

static void show_banner(UlvoFmApp *app, const gchar *catalog, const gchar *id)
{
    fm_infoprint(GTK_WINDOW(app->window), dcgettext(catalog, id, LC_MESSAGES));
}

static const gchar *first_selected(UlvoFmApp *app)
{
    GSList *selection = app->selection_info->current_selection;
    return selection ? static_cast<const gchar *>(selection->data) : nullptr;
}

// A folder that cannot be shown says so instead of leaving the view as it was
// without a word.
static void show_folder(UlvoFmApp *app, const gchar *uri)
{
    ulvo::ErrorOut error;
    if (!kivel_file_selection_set_current_folder_uri(KIVEL_FILE_SELECTION(app->file_selection), uri,
                                                     error.out())) {
        g_warning("Unable to show %s: %s", uri, error ? error.get()->message : "");
        show_banner(app, "kivel-common-strings", "sfil_ib_unable_to_open_folder_not_found");
    }
}

// With the navigation pane active the selection is the current folder itself.
static void enter_folder(UlvoFmApp *app)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(app->file_selection);
    const gchar *uri = first_selected(app);
    if (uri && kivel_file_selection_get_active_pane(fs) == KIVEL_FILE_SELECTION_PANE_CONTENT)
        show_folder(app, uri);
}

static gboolean first_selected_exists(UlvoFmApp *app)
{
    const gchar *uri = first_selected(app);
    if (uri && ulvo_fm_uri_exists(uri))
        return TRUE;
    show_banner(app, "kivel-common-strings", "sfil_ib_unable_to_open_folder_not_found");
    return FALSE;
}

// The files handed over: those whose default application is the first one
// found, in selection order. `chosen` receives that application.
// (transfer full) Returns FALSE when a file's type cannot be told.
static gboolean collect_files_to_open(GSList *selected, GObjPtr<GAppInfo> &chosen, GSList **to_open)
{
    for (GSList *l = selected; l; l = l->next) {
        GCharPtr texturi(ulvo_fm_path_to_texturi(static_cast<const gchar *>(l->data)));
        if (!texturi || ulvo_fm_is_texturi_directory(texturi.get()))
            continue;
        GCharPtr mime_type(kivel_mime_get_type_for_uri(texturi.get()));
        if (!mime_type)
            return FALSE;
        GObjPtr<GAppInfo> app(kivel_mime_get_default_application(mime_type.get()));
        if (!app)
            continue;
        if (!chosen)
            chosen.reset(G_APP_INFO(g_object_ref(app.get())));
        if (g_app_info_equal(app.get(), chosen.get()))
            *to_open = g_slist_prepend(*to_open, texturi.release());
    }
    *to_open = g_slist_reverse(*to_open);
    return TRUE;
}

static void open_files(UlvoFmApp *app)
{
    GUriList selected(
        kivel_file_selection_get_selected_uris(KIVEL_FILE_SELECTION(app->file_selection)));
    FM_RETURN_IF_FAIL(app->window != NULL, "window != NULL");
    FM_RETURN_IF_FAIL(selected != NULL, "selection != NULL");

    GObjPtr<GAppInfo> chosen;
    GSList *list = nullptr;
    if (!collect_files_to_open(selected.get(), chosen, &list)) {
        ulvo_fm_free_texturi_list(list);
        show_banner(app, "kivel-fm", "sfil_ib_opening_not_allowed");
        return;
    }
    GUriList to_open(list);
    if (!chosen) {
        ulvo_fm_show_application_chooser(app, selected.get());
        return;
    }
    DBusConnection *connection = fm_app_ctx ? ulvo_get_dbus_connection(fm_app_ctx) : nullptr;
    gint result = kivel_mime_open_file_list(connection, to_open.get());
    if (result == KIVEL_MIME_OPEN_OK)
        return;
    if (result == KIVEL_MIME_OPEN_NOT_ALLOWED || result == KIVEL_MIME_OPEN_NOT_SUPPORTED)
        show_banner(app, "kivel-fm", "sfil_ib_opening_not_allowed");
    else
        ulvo_fm_show_application_chooser(app, selected.get());
}

void invoke_application(UlvoFmApp *app)
{
    FM_RETURN_IF_FAIL(app != NULL, "app != NULL");
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(app->file_selection),
                      "KIVEL_IS_FILE_SELECTION (app->file_selection)");
    ulvo_fm_update_selection_info(app->selection_info, KIVEL_FILE_SELECTION(app->file_selection),
                                  1);
    if (media_items_check_operation(OPER_OPEN, app))
        return;

    switch (ulvo_fm_selection_info_get_selection_type(app->selection_info)) {
    case SIT_SINGLE_FILE: {
        const gchar *uri = first_selected(app);
        if (!uri || !ulvo_fm_uri_exists(uri)) {
            fm_infonote(GTK_WINDOW(app->window),
                        dcgettext("kivel-common-strings", "sfil_ni_unable_to_open_file_not_found",
                                  LC_MESSAGES),
                        dcgettext("kivel-common-strings",
                                  "sfil_ni_unable_to_open_file_not_found_ok", LC_MESSAGES));
            return;
        }
        open_files(app);
        break;
    }
    case SIT_MULTIPLE_FILES:
    case SIT_FILES_AND_FOLDERS:
        open_files(app);
        break;
    case SIT_SINGLE_FOLDER:
    case SIT_SINGLE_SAFE_FOLDER:
        if (first_selected_exists(app))
            enter_folder(app);
        break;
    case SIT_GATEWAY:
    case SIT_DEVICE_ROOT:
        enter_folder(app);
        break;
    case SIT_MULTIPLE_FOLDERS:
    case SIT_MULTIPLE_SAFE_FOLDERS:
        if (first_selected_exists(app))
            show_folder(app, first_selected(app));
        break;
    case SIT_ERROR_IN_GETTING_INFO:
        show_banner(app, "kivel-fm", "sfil_ib_opening_not_allowed");
        break;
    case SIT_NONE:
        break;
    }
}
