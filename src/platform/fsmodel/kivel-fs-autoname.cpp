// Free names: "name (1).ext", "name (2).ext", ... in the folder of a
// location, numbered by the same rule as the application's unique names.
#include "platform/fsmodel/kivel-fs-private.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-names.h"

#include <string.h>

static bool location_taken(const gchar *uri)
{
    GFile *file = g_file_new_for_uri(uri);
    // A dangling link takes its name too.
    GFileType type = g_file_query_file_type(file, G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr);
    g_object_unref(file);
    return type != G_FILE_TYPE_UNKNOWN;
}

static bool location_is_folder(const gchar *uri)
{
    GFile *file = g_file_new_for_uri(uri);
    GFileType type = g_file_query_file_type(file, G_FILE_QUERY_INFO_NONE, nullptr);
    g_object_unref(file);
    return type == G_FILE_TYPE_DIRECTORY;
}

static gboolean name_taken_in(const char *name, gpointer folder)
{
    ulvo::GCharPtr uri(fs_child_uri(static_cast<const gchar *>(folder), name));
    return !uri || location_taken(uri.get());
}

gchar *kivel_file_system_model_autoname_uri(KivelFileSystemModel *model, const gchar *uri,
                                            GError **error)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model), nullptr);
    g_return_val_if_fail(uri != nullptr, nullptr);
    ulvo::GCharPtr location(fs_canonical_uri(uri));
    ulvo::GCharPtr folder(fs_uri_parent(location.get()));
    const gchar *last = location ? strrchr(location.get(), '/') : nullptr;
    ulvo::GCharPtr name(last ? g_uri_unescape_string(last + 1, "/") : nullptr);
    if (!folder || !name || !*name) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT, "Not a name in a folder: %s",
                    uri);
        return nullptr;
    }
    if (!location_taken(location.get()))
        return location.release();

    // A folder's name has no extension.
    const gchar *extension =
        location_is_folder(location.get()) ? nullptr : ulvo_vfs_name_get_extension(name.get());
    ulvo::GCharPtr free_name(
        ulvo_vfs_name_next_free(name.get(), extension, name_taken_in, folder.get()));
    if (!free_name) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_FAILED, "No free name for %s in %s", name.get(),
                    folder.get());
        return nullptr;
    }
    return fs_child_uri(folder.get(), free_name.get());
}
