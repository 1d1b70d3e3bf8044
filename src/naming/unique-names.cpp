#include "naming/unique-names.h"

#include "model/fm-assert.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-names.h"
#include "vfs/vfs-uri.h"

#include <string.h>
#include <string>

using ulvo::GCharPtr;

const gchar *ulvo_fm_path_get_extension(const gchar *name)
{
    FM_RETURN_VAL_IF_FAIL(name != nullptr, "name != NULL", nullptr);
    return ulvo_vfs_name_get_extension(name);
}

gchar *autoname_remove_autonumber(const gchar *name, int *number)
{
    FM_RETURN_VAL_IF_FAIL(name != nullptr, "name != NULL", nullptr);
    gsize base_length = 0;
    if (!ulvo_vfs_name_find_autonumber(name, strlen(name), &base_length, number))
        return g_strdup(name);
    return g_strndup(name, base_length);
}

// Targets chosen in one operation may differ from each other only in the
// way they are escaped or in case, and on a memory card both name one file.
static std::string comparable_uri(const char *texturi)
{
    GCharPtr unescaped(g_uri_unescape_string(texturi, nullptr));
    return unescaped ? unescaped.get() : texturi;
}

// (transfer none) The element of `uris` that names `texturi`, or NULL.
static GFile *find_in_uris(const char *texturi, GSList *uris)
{
    std::string wanted = comparable_uri(texturi);
    for (GSList *l = uris; l; l = l->next) {
        if (!G_IS_FILE(l->data))
            continue;
        GCharPtr text(g_file_get_uri(G_FILE(l->data)));
        if (text && g_ascii_strcasecmp(comparable_uri(text.get()).c_str(), wanted.c_str()) == 0)
            return G_FILE(l->data);
    }
    return nullptr;
}

namespace
{
struct TargetFolder {
    const char *parent_uri;
    GSList *uris;
};
} // namespace

static gboolean target_name_taken(const char *name, gpointer data)
{
    auto *folder = static_cast<TargetFolder *>(data);
    GCharPtr uri(ulvo_vfs_uri_append_file_name(folder->parent_uri, name));
    return !uri || ulvo_vfs_uri_exists(uri.get()) || find_in_uris(uri.get(), folder->uris);
}

gboolean autorename_uri(gchar **texturi, GSList *uris)
{
    FM_RETURN_VAL_IF_FAIL(texturi != nullptr, "texturi != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(*texturi != nullptr, "*texturi != NULL", FALSE);
    GFile *match = find_in_uris(*texturi, uris);
    if (!match)
        return FALSE;
    // The parent of the text itself keeps its scheme and host, such as the
    // device address of an OBEX location.
    GCharPtr parent(ulvo_vfs_uri_get_parent(*texturi));
    GCharPtr match_uri(g_file_get_uri(match));
    GCharPtr name(match_uri ? ulvo_vfs_uri_short_name(match_uri.get()) : nullptr);
    if (!parent || !name) {
        g_warning("Cannot number %s\n", *texturi);
        return FALSE;
    }
    TargetFolder folder = {parent.get(), uris};
    GCharPtr free_name(ulvo_vfs_name_next_free(name.get(), ulvo_fm_path_get_extension(name.get()),
                                               target_name_taken, &folder));
    gchar *renamed =
        free_name ? ulvo_vfs_uri_append_file_name(parent.get(), free_name.get()) : nullptr;
    if (!renamed) {
        g_warning("No free name for %s\n", *texturi);
        return FALSE;
    }
    g_free(*texturi);
    *texturi = renamed;
    return TRUE;
}

void autorename_texturi(gchar **filepath_texturi, KivelFileSystemModel *model)
{
    FM_RETURN_IF_FAIL(filepath_texturi != nullptr, "filepath_texturi != NULL");
    FM_RETURN_IF_FAIL(*filepath_texturi != nullptr, "*filepath_texturi != NULL");
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SYSTEM_MODEL(model), "KIVEL_IS_FILE_SYSTEM_MODEL(model)");
    GError *error = nullptr;
    gchar *newname_texturi = kivel_file_system_model_autoname_uri(model, *filepath_texturi, &error);
    if (error) {
        g_warning("%s\n", error->message);
        g_error_free(error);
        g_free(newname_texturi);
        return;
    }
    FM_RETURN_IF_FAIL(newname_texturi != nullptr, "newname_texturi != NULL");
    g_free(*filepath_texturi);
    *filepath_texturi = newname_texturi;
}

gboolean is_path_from_home(const gchar *path, const gchar *shortname)
{
    FM_RETURN_VAL_IF_FAIL(path != nullptr, "path != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(shortname != nullptr, "shortname != NULL", FALSE);
    GCharPtr home(ulvo_vfs_make_uri_from_path(g_get_home_dir()));
    GCharPtr folder(home ? ulvo_vfs_uri_append_file_name(home.get(), shortname) : nullptr);
    if (!folder) {
        g_warning("Error allocating memory");
        return FALSE;
    }
    // Same location, however the URI is escaped or ends.
    return ulvo_vfs_uri_equal(folder.get(), path);
}
