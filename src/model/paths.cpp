#include "model/paths.h"

#include "model/app-record.h"
#include "model/fm-assert.h"
#include "model/location.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <libintl.h>
#include <locale.h>

using ulvo::GCharPtr;

namespace
{

// Beyond this many seconds the microseconds would not fit an int.
const glong MAX_DIFF_SECONDS = 1000;
const gint CLAMPED_DIFF = 1 << 30;

// (transfer none) (nullable) The application's path converter.
KivelFileSystemBackend *app_file_system()
{
    return global_ofm ? global_ofm->filesystem : nullptr;
}

// (transfer none) (nullable) The file selection the commands act on.
KivelFileSelection *app_file_selection()
{
    if (!global_ofm || !KIVEL_IS_FILE_SELECTION(global_ofm->file_selection))
        return nullptr;
    return KIVEL_FILE_SELECTION(global_ofm->file_selection);
}

// (transfer none) (nullable) The catalog identifier of a special folder's title.
const gchar *special_folder_title_id(gint item_type)
{
    switch (item_type) {
    case KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_IMAGES:
        return "sfil_li_folder_images";
    case KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_VIDEOS:
        return "sfil_li_folder_video_clips";
    case KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_SOUNDS:
        return "sfil_li_folder_sound_clips";
    case KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_DOCUMENTS:
        return "sfil_li_folder_documents";
    case KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_CAMERA:
        return "sfil_li_folder_camera";
    default:
        return nullptr;
    }
}

gboolean is_device_root(gint item_type)
{
    return item_type == KIVEL_FILE_SYSTEM_MODEL_MMC ||
           item_type == KIVEL_FILE_SYSTEM_MODEL_GATEWAY ||
           item_type == KIVEL_FILE_SYSTEM_MODEL_LOCAL_DEVICE;
}

// The model item type of `path` in the application's file selection; an
// ordinary item when there is none to ask.
gint app_item_type(const gchar *path)
{
    KivelFileSelection *fs = app_file_selection();
    if (!fs || !path)
        return KIVEL_FILE_SYSTEM_MODEL_FILE;
    return ulvo_fm_fs_get_path_type(fs, path);
}

// (transfer full) (nullable) The display name of a device root in the
// application's file selection.
gchar *device_root_name(const gchar *path)
{
    KivelFileSelection *fs = app_file_selection();
    GtkTreeModel *model = nullptr;
    g_object_get(fs, "model", &model, NULL);
    ulvo::GObjPtr<GtkTreeModel> model_ref(model);
    if (!model)
        return nullptr;
    return ulvo_fm_path_get_display_name(KIVEL_FILE_SYSTEM_MODEL(model), path);
}

// (transfer full) (nullable) What the model shows for the location, or the
// last component of its text URI when the model has no row for it.
gchar *model_display_name(KivelFileSystemModel *model, const gchar *path, const gchar *texturi)
{
    GtkTreeIter iter;
    if (kivel_file_system_model_search_path(model, path, &iter, nullptr, TRUE)) {
        gchar *name = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(model), &iter, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME,
                           &name, -1);
        return name;
    }
    g_warning("Unable to find path in the model %s\n", texturi);
    return ulvo_vfs_uri_short_name(texturi);
}

} // namespace

gchar *ulvo_fm_texturi_to_path(const gchar *texturi)
{
    FM_RETURN_VAL_IF_FAIL(texturi != NULL, "texturi != NULL", nullptr);
    KivelFileSystemBackend *file_system = app_file_system();
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SYSTEM_BACKEND(file_system),
                          "GTK_IS_FILE_SYSTEM (file_system)", nullptr);
    return kivel_file_system_backend_uri_to_path(file_system, texturi);
}

gchar *ulvo_fm_path_to_texturi(const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", nullptr);
    KivelFileSystemBackend *file_system = app_file_system();
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SYSTEM_BACKEND(file_system),
                          "GTK_IS_FILE_SYSTEM (file_system)", nullptr);
    return kivel_file_system_backend_path_to_uri(file_system, path);
}

gchar *ulvo_fm_uri_to_path(GFile *uri)
{
    FM_RETURN_VAL_IF_FAIL(G_IS_FILE(uri), "G_IS_FILE (uri)", nullptr);
    GCharPtr texturi(g_file_get_uri(uri));
    if (!texturi)
        return nullptr;
    return ulvo_fm_texturi_to_path(texturi.get());
}

gchar *ulvo_fm_make_path(const gchar *parent, const gchar *name)
{
    FM_RETURN_VAL_IF_FAIL(parent != NULL, "parent != NULL", nullptr);
    FM_RETURN_VAL_IF_FAIL(name != NULL, "name != NULL", nullptr);
    KivelFileSystemBackend *file_system = app_file_system();
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SYSTEM_BACKEND(file_system),
                          "GTK_IS_FILE_SYSTEM (file_system)", nullptr);
    return kivel_file_system_backend_make_path(file_system, parent, name);
}

gchar *ulvo_fm_get_parent(const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", nullptr);
    KivelFileSystemBackend *file_system = app_file_system();
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SYSTEM_BACKEND(file_system),
                          "GTK_IS_FILE_SYSTEM (file_system)", nullptr);
    return kivel_file_system_backend_get_parent(file_system, path);
}

gchar *ulvo_fm_texturi_get_parent(const gchar *texturi)
{
    FM_RETURN_VAL_IF_FAIL(texturi != NULL, "texturi != NULL", nullptr);
    GCharPtr path(ulvo_fm_texturi_to_path(texturi));
    if (!path)
        return nullptr;
    GCharPtr parent(ulvo_fm_get_parent(path.get()));
    if (!parent)
        return nullptr;
    return ulvo_fm_path_to_texturi(parent.get());
}

gchar *ulvo_fm_uri_get_dirname(const gchar *texturi)
{
    FM_RETURN_VAL_IF_FAIL(texturi != NULL, "texturi != NULL", nullptr);
    return ulvo_vfs_uri_get_parent(texturi);
}

gchar *ulvo_fm_texturi_get_display_name(KivelFileSystemModel *model, const gchar *texturi)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SYSTEM_MODEL(model), "KIVEL_IS_FILE_SYSTEM_MODEL (model)",
                          nullptr);
    FM_RETURN_VAL_IF_FAIL(texturi != NULL, "texturi != NULL", nullptr);
    GCharPtr path(ulvo_fm_texturi_to_path(texturi));
    if (!path) {
        g_warning("ulvo_fm_texturi_get_display_name:path == NULL\n");
        return nullptr;
    }
    return model_display_name(model, path.get(), texturi);
}

gchar *ulvo_fm_path_get_display_name(KivelFileSystemModel *model, const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SYSTEM_MODEL(model), "KIVEL_IS_FILE_SYSTEM_MODEL (model)",
                          nullptr);
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", nullptr);
    GCharPtr path_texturi(ulvo_fm_path_to_texturi(path));
    if (!path_texturi) {
        g_warning("ulvo_fm_path_get_display_name:path_texturi == NULL\n");
        return nullptr;
    }
    return model_display_name(model, path, path_texturi.get());
}

// (transfer full) The localized title of a special folder, or NULL for
// another item type.
static gchar *special_folder_title(gint item_type)
{
    const gchar *id = special_folder_title_id(item_type);
    if (!id)
        return nullptr;
    return g_strdup_printf("%s", dcgettext("kivel-fm", id, LC_MESSAGES));
}

gchar *ulvo_fm_path_get_shortname(KivelFileSystemBackend *file_system, const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SYSTEM_BACKEND(file_system),
                          "GTK_IS_FILE_SYSTEM (file_system)", nullptr);
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", nullptr);
    gint type = app_item_type(path);
    if (gchar *title = special_folder_title(type))
        return title;
    if (is_device_root(type))
        return device_root_name(path);

    GCharPtr texturi(ulvo_fm_path_to_texturi(path));
    if (!texturi || !ulvo_vfs_uri_is_valid(texturi.get())) {
        g_warning("Error allocating memory");
        return nullptr;
    }
    GCharPtr escaped(ulvo_vfs_uri_short_path_name(texturi.get()));
    return ulvo_vfs_unescape_string(escaped.get(), nullptr);
}

gchar *ulvo_fm_texturi_get_shortname(KivelFileSystemBackend *file_system, const gchar *texturi)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SYSTEM_BACKEND(file_system),
                          "GTK_IS_FILE_SYSTEM (file_system)", nullptr);
    FM_RETURN_VAL_IF_FAIL(texturi != NULL, "texturi != NULL", nullptr);
    GCharPtr path(ulvo_fm_texturi_to_path(texturi));
    gint type = app_item_type(path.get());
    if (gchar *title = special_folder_title(type))
        return title;
    if (is_device_root(type))
        return device_root_name(path.get());

    gchar *name = ulvo_vfs_uri_short_name(texturi);
    if (!name)
        g_warning("Error allocating memory");
    return name;
}

void ulvo_fm_free_texturi_list(GSList *list)
{
    g_slist_free_full(list, g_free);
}

void ulvo_fm_unref_uri_list(GSList *list)
{
    for (GSList *l = list; l; l = l->next) {
        if (l->data)
            g_object_unref(l->data);
        l->data = nullptr; // the cells stay the caller's: leave nothing dangling
    }
}

gint timeval_diff(GTimeVal *end, GTimeVal *start)
{
    FM_RETURN_VAL_IF_FAIL(end != NULL, "end != NULL", 0);
    FM_RETURN_VAL_IF_FAIL(start != NULL, "start != NULL", 0);
    glong seconds = end->tv_sec - start->tv_sec;
    if (seconds > MAX_DIFF_SECONDS)
        return CLAMPED_DIFF;
    if (seconds < -MAX_DIFF_SECONDS)
        return -CLAMPED_DIFF;
    return gint(seconds * G_USEC_PER_SEC + (end->tv_usec - start->tv_usec));
}
