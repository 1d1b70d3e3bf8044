#include "model/location.h"

#include "model/fm-assert.h"
#include "model/paths.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-info.h"
#include "vfs/vfs-uri.h"

#include <memory>
#include <string.h>

using ulvo::GCharPtr;
using ulvo::GStrvPtr;

namespace
{

const gchar GATEWAY_PREFIX[] = "obex://";
const gchar MEDIA_SERVER_PREFIX[] = "upnpav://";
const gchar SAMBA_PREFIX[] = "smb://";
const gchar FILE_PREFIX[] = "file://";
const gchar CARD_ROOT_PREFIX[] = "file:///media/mmc";
const gchar FIRST_CARD_PATH[] = "/media/mmc1";
const gchar SECOND_CARD_PATH[] = "/media/mmc2";
const gchar DOCUMENTS_SUFFIX[] = "MyDocs";

struct FileInfoDeleter {
    void operator()(UlvoVfsFileInfo *info) const { ulvo_vfs_file_info_free(info); }
};
using FileInfoPtr = std::unique_ptr<UlvoVfsFileInfo, FileInfoDeleter>;

gboolean has_prefix(const gchar *text, const gchar *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

gboolean has_prefix_nocase(const gchar *text, const gchar *prefix)
{
    return g_ascii_strncasecmp(text, prefix, strlen(prefix)) == 0;
}

// TRUE when `uri` is the card's mount point or lies below it: a longer
// sibling name such as /media/mmc10 is another place.
gboolean is_on_card(const gchar *uri, const gchar *card_path)
{
    GCharPtr card_uri(g_strdup_printf("file://%s", card_path));
    gsize n = strlen(card_uri.get());
    if (g_ascii_strncasecmp(uri, card_uri.get(), n) != 0)
        return FALSE;
    return uri[n] == '\0' || uri[n] == '/';
}

// "smb://server", "obex://[address]", the bare scheme ("smb://") and the
// same with one trailing "/": a server, a device or the list of them, where
// nothing can be written.
gboolean is_server_root(const gchar *uri)
{
    GStrvPtr tokens(g_strsplit_set(uri, "/", -1));
    guint n = g_strv_length(tokens.get());
    if (n == 4 && tokens.get()[3][0] == '\0')
        n = 3;
    return n == 3;
}

// Whether the owner's bits of `text_uri` allow reading but not writing.
// Places that cannot be examined count as read-only.
gboolean owner_may_only_read(const gchar *text_uri)
{
    FileInfoPtr info(ulvo_vfs_file_info_new());
    UlvoVfsResult result = ulvo_vfs_get_file_info(text_uri, info.get(),
                                                  ULVO_VFS_FILE_INFO_FOLLOW_LINKS |
                                                      ULVO_VFS_FILE_INFO_GET_ACCESS_RIGHTS);
    if (result != ULVO_VFS_OK) {
        g_warning("Unable to determine readonly status");
        return TRUE;
    }
    if (!(info->valid_fields & ULVO_VFS_FILE_INFO_FIELDS_PERMISSIONS))
        return FALSE;
    guint owner = info->permissions & (ULVO_VFS_PERM_USER_READ | ULVO_VFS_PERM_USER_WRITE);
    return owner == ULVO_VFS_PERM_USER_READ;
}

// Applies a text URI predicate to the text URI of a path; `caller` names
// the public function in the log.
gboolean path_answers(const gchar *caller, const gchar *path, gboolean (*predicate)(const gchar *))
{
    GCharPtr path_texturi(ulvo_fm_path_to_texturi(path));
    if (!path_texturi) {
        g_return_if_fail_warning(G_LOG_DOMAIN, caller, "path_texturi != NULL");
        return FALSE;
    }
    return predicate(path_texturi.get());
}

} // namespace

gboolean ulvo_fm_uri_is_in_gateway(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    return has_prefix(uri, GATEWAY_PREFIX);
}

gboolean ulvo_fm_uri_is_in_media_server(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    return has_prefix_nocase(uri, MEDIA_SERVER_PREFIX);
}

gboolean ulvo_fm_uri_is_in_samba_server(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    return has_prefix_nocase(uri, SAMBA_PREFIX);
}

gboolean ulvo_fm_uri_is_in_mmc(const gchar *uri, gint *which)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    const gchar *const cards[] = {FIRST_CARD_PATH, SECOND_CARD_PATH};
    for (gint i = 0; i < 2; i++) {
        if (is_on_card(uri, cards[i])) {
            if (which)
                *which = i;
            return TRUE;
        }
    }
    return FALSE;
}

gboolean ulvo_fm_uri_is_root(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    gint slashes = 0;
    for (const gchar *c = uri; *c; c++)
        slashes += *c == '/';
    if (!has_prefix(uri, FILE_PREFIX))
        return slashes == 3; // a server or device root, "smb://server/"
    if (has_prefix(uri, CARD_ROOT_PREFIX))
        return slashes == 4; // a card's mount point, "file:///media/mmc1"
    return slashes == 5;     // the documents folder, "file:///home/user/MyDocs"
}

gboolean ulvo_fm_uri_exists(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(ulvo_vfs_uri_is_valid(uri), "vfs_uri != NULL", FALSE);
    return ulvo_vfs_uri_exists(uri);
}

gboolean ulvo_fm_uri_is_readonly(const gchar *uri, gint check_parent)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    if ((has_prefix(uri, SAMBA_PREFIX) || has_prefix(uri, GATEWAY_PREFIX)) && is_server_root(uri))
        return TRUE;
    if (has_prefix(uri, MEDIA_SERVER_PREFIX))
        return TRUE; // media servers never take files
    if (!ulvo_vfs_uri_is_valid(uri))
        return TRUE;
    if (!ulvo_vfs_uri_is_local(uri))
        return FALSE; // remote places say no themselves when written to
    if (!check_parent)
        return ulvo_vfs_uri_exists(uri) ? owner_may_only_read(uri) : TRUE;
    GCharPtr parent(ulvo_vfs_uri_get_parent(uri));
    if (!parent)
        return TRUE;
    return owner_may_only_read(parent.get());
}

gboolean is_smb_share(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    if (!has_prefix(uri, SAMBA_PREFIX) || uri[strlen(SAMBA_PREFIX)] == '\0')
        return FALSE;
    GStrvPtr parts(g_strsplit(uri + strlen(SAMBA_PREFIX), "/", -1));
    return g_strv_length(parts.get()) == 2;
}

gboolean is_texturi_virtual(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    return g_str_has_suffix(uri, "://") || g_str_has_suffix(uri, ":///");
}

gboolean ulvo_fm_is_texturi_directory(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    FileInfoPtr info(ulvo_vfs_file_info_new());
    if (ulvo_vfs_get_file_info(uri, info.get(), ULVO_VFS_FILE_INFO_DEFAULT) != ULVO_VFS_OK)
        return FALSE;
    return (info->valid_fields & ULVO_VFS_FILE_INFO_FIELDS_TYPE) &&
           info->type == ULVO_VFS_FILE_TYPE_DIRECTORY;
}

gint ulvo_fm_get_path_type(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", 0);
    FileInfoPtr info(ulvo_vfs_file_info_new());
    guint options = ULVO_VFS_FILE_INFO_GET_MIME_TYPE | ULVO_VFS_FILE_INFO_FOLLOW_LINKS |
                    ULVO_VFS_FILE_INFO_GET_ACCESS_RIGHTS;
    if (ulvo_vfs_get_file_info(uri, info.get(), options) != ULVO_VFS_OK)
        return 0;
    return info->type;
}

gboolean is_uri_in_mmc(GFile *uri, gint *which)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(G_IS_FILE(uri), "G_IS_FILE (uri)", FALSE);
    GCharPtr path_texturi(g_file_get_uri(uri));
    FM_RETURN_VAL_IF_FAIL(path_texturi != nullptr, "path_texturi != NULL", FALSE);
    return ulvo_fm_uri_is_in_mmc(path_texturi.get(), which);
}

gboolean is_path_virtual(const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", FALSE);
    return path_answers(__func__, path, is_texturi_virtual);
}

gboolean is_path_in_samba_server(const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", FALSE);
    return path_answers(__func__, path, ulvo_fm_uri_is_in_samba_server);
}

gboolean is_path_in_media_server(const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", FALSE);
    return path_answers(__func__, path, ulvo_fm_uri_is_in_media_server);
}

gboolean is_path_in_gateway(const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", FALSE);
    return path_answers(__func__, path, ulvo_fm_uri_is_in_gateway);
}

gboolean ulvo_fm_is_path_directory(const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", FALSE);
    return path_answers(__func__, path, ulvo_fm_is_texturi_directory);
}

gint ulvo_fm_fs_get_path_type(KivelFileSelection *fs, const gchar *path)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(fs), "KIVEL_IS_FILE_SELECTION(fs)", 0);
    FM_RETURN_VAL_IF_FAIL(path != NULL, "path != NULL", 0);
    GtkTreeModel *model = nullptr;
    g_object_get(fs, "model", &model, NULL);
    ulvo::GObjPtr<GtkTreeModel> model_ref(model);
    GtkTreeIter iter;
    if (!model || !kivel_file_system_model_search_path(KIVEL_FILE_SYSTEM_MODEL(model), path, &iter,
                                                       nullptr, TRUE)) {
        g_warning("Unable to find path in the model %s\n", path);
        return KIVEL_FILE_SYSTEM_MODEL_FILE;
    }
    gint type = KIVEL_FILE_SYSTEM_MODEL_UNDEFINED;
    gtk_tree_model_get(model, &iter, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type, -1);
    return type;
}

// Whether the current folder's row has no rows below it.
static gboolean current_folder_is_empty(KivelFileSelection *fs)
{
    GtkTreeModel *model = nullptr;
    g_object_get(fs, "model", &model, NULL);
    if (!model)
        return FALSE;
    ulvo::GObjPtr<GtkTreeModel> model_ref(model);
    GtkTreeIter iter;
    if (!kivel_file_selection_get_current_folder_iter(fs, &iter))
        return gtk_tree_model_iter_n_children(model, nullptr) == 0; // the virtual root
    return !gtk_tree_model_iter_has_child(model, &iter);
}

gboolean ulvo_fm_check_current_folder(UlvoFmApp *ofm, gint flags)
{
    FM_RETURN_VAL_IF_FAIL(ofm != NULL, "ofm != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(ofm->file_selection),
                          "KIVEL_IS_FILE_SELECTION(ofm->file_selection)", FALSE);
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(ofm->file_selection);
    GCharPtr current(kivel_file_selection_get_current_folder_uri(fs));
    const gchar *uri = current.get();

    if ((flags & 1) && uri && strcmp(uri, KIVEL_FILE_SYSTEM_ROOT_URI) == 0)
        return FALSE;
    if ((flags & 2) && uri && has_prefix(uri, MEDIA_SERVER_PREFIX))
        return FALSE;
    if ((flags & 4) && uri && ulvo_fm_uri_is_readonly(uri, 0))
        return FALSE;
    if ((flags & 8) && current_folder_is_empty(fs))
        return FALSE;
    if ((flags & 16) && ofm->selection_info && ofm->selection_info->n_safe_folders > 0 && uri &&
        g_str_has_suffix(uri, DOCUMENTS_SUFFIX))
        return FALSE;
    return TRUE;
}
