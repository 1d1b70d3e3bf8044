#include "settings/folder-state.h"

#include "model/app-record.h"
#include "model/fm-assert.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-leftovers.h"
#include "vfs/vfs-read.h"

#include <glib/gstdio.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using ulvo::ErrorOut;
using ulvo::GCharPtr;

namespace
{

const gint PICTURES_PRESET = ULVO_FM_VIEW_STATE_MODE_BIT | ULVO_FM_VIEW_STATE_ORDER_BIT | 2;
const gint MUSIC_PRESET = ULVO_FM_VIEW_STATE_MODE_BIT;
const gint VIEW_STATE_BITS =
    ULVO_FM_VIEW_STATE_MODE_BIT | ULVO_FM_VIEW_STATE_ORDER_BIT | ULVO_FM_VIEW_STATE_SORT_KEY_MASK;
// Far beyond the settings of every folder a device holds; a larger file is
// not a key file of ours.
const gsize MAX_KEY_FILE_SIZE = 16 * 1024 * 1024;
// How many kept damaged files may pile up before saving stops.
const int MAX_DAMAGED_COPIES = 100;

// (transfer full) (nullable): `path` with a leading "~" expanded to the home
// directory; NULL, with a warning, when the home directory is unknown.
gchar *expand_initial_tilde(const gchar *path)
{
    if (path[0] != '~' || (path[1] != '\0' && path[1] != '/'))
        return g_strdup(path);
    const gchar *home = g_get_home_dir();
    if (!home || !*home) {
        g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "Path %s couldn't be expanded", path);
        return nullptr;
    }
    return g_strconcat(home, path + 1, NULL);
}

// A key file key cannot hold '=', '[' or ']', a line end splits the entry,
// and blanks at either end or a leading '#' are lost on reading. Text URIs
// rarely have these; where they do, the percent escape names the same place.
std::string folder_key(const gchar *texturi)
{
    std::string key;
    const size_t length = strlen(texturi);
    for (size_t i = 0; i < length; i++) {
        const auto c = static_cast<unsigned char>(texturi[i]);
        const bool at_end = i == 0 || i + 1 == length;
        if (c == '=' || c == '[' || c == ']' || c < 0x20 || c == 0x7f || (at_end && c == ' ') ||
            (i == 0 && c == '#')) {
            gchar escaped[4];
            g_snprintf(escaped, sizeof escaped, "%%%02X", c);
            key += escaped;
        } else {
            key += static_cast<char>(c);
        }
    }
    return key;
}

// 0 for a missing entry and for one no version of the program writes.
gint read_view_state(GKeyFile *keyfile, const std::string &key)
{
    ErrorOut error;
    gint value =
        g_key_file_get_integer(keyfile, ULVO_FM_FOLDER_STATE_GROUP, key.c_str(), error.out());
    if (error || value <= 0 || (value & ~VIEW_STATE_BITS) != 0)
        return 0;
    return value;
}

// (transfer full) (nullable): the folder's text URI, or NULL with a warning.
gchar *local_folder_uri(const gchar *path)
{
    ErrorOut error;
    gchar *uri = g_filename_to_uri(path, nullptr, error.out());
    if (!uri)
        g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "No text URI for %s: %s", path,
              error.get()->message);
    return uri;
}

// The pictures folder is the user's special one, else the device's own. The
// music folder is the user's special one only when a special pictures folder
// exists too; the device's own otherwise.
void add_presets(GKeyFile *keyfile)
{
    const gchar *pictures = g_get_user_special_dir(G_USER_DIRECTORY_PICTURES);
    const gchar *music = pictures ? g_get_user_special_dir(G_USER_DIRECTORY_MUSIC) : nullptr;
    GCharPtr pictures_path(pictures
                               ? g_strdup(pictures)
                               : g_build_filename(g_get_home_dir(), "MyDocs", ".images", NULL));
    GCharPtr music_path(music ? g_strdup(music)
                              : g_build_filename(g_get_home_dir(), "MyDocs", ".sounds", NULL));

    const struct {
        const gchar *path;
        gint value;
    } presets[] = {{pictures_path.get(), PICTURES_PRESET}, {music_path.get(), MUSIC_PRESET}};
    for (const auto &preset : presets) {
        GCharPtr uri(local_folder_uri(preset.path));
        if (!uri)
            continue;
        // A choice made since the file went missing is not undone.
        const std::string key = folder_key(uri.get());
        if (!g_key_file_has_key(keyfile, ULVO_FM_FOLDER_STATE_GROUP, key.c_str(), nullptr))
            g_key_file_set_integer(keyfile, ULVO_FM_FOLDER_STATE_GROUP, key.c_str(), preset.value);
    }
}

// The text of the key file at `path`, once it is known to read and parse
// whole. FALSE with G_FILE_ERROR_NOENT when nothing is there.
// `contents` is (transfer full).
gboolean read_valid_key_file(const gchar *path, GCharPtr &contents, gsize &length, GError **error)
{
    gchar *data = nullptr;
    if (!ulvo_vfs_read_regular_file(path, MAX_KEY_FILE_SIZE, &data, &length, error)) {
        // A link to nothing is something the user made, not a missing file.
        GStatBuf info;
        if (g_error_matches(*error, G_FILE_ERROR, G_FILE_ERROR_NOENT) && g_lstat(path, &info) == 0)
            (*error)->code = G_FILE_ERROR_FAILED;
        return FALSE;
    }
    contents.reset(data);
    ulvo::GKeyFilePtr parsed(g_key_file_new());
    return g_key_file_load_from_data(parsed.get(), contents.get(), length, G_KEY_FILE_NONE, error);
}

// Replaces the contents of `keyfile` with the file when it reads and parses
// whole; otherwise they stay, so that a bad file never wipes good settings.
// Returns FALSE when the file does not exist.
gboolean load_whole_file(GKeyFile *keyfile, const gchar *path)
{
    GCharPtr contents;
    gsize length = 0;
    ErrorOut error;
    if (!read_valid_key_file(path, contents, length, error.out())) {
        if (g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT))
            return FALSE;
        // A FIFO or a device in its place would otherwise go unnoticed.
        GLogLevelFlags level =
            error.get()->domain == ULVO_VFS_READ_ERROR ? G_LOG_LEVEL_WARNING : G_LOG_LEVEL_DEBUG;
        g_log(G_LOG_DOMAIN, level, "Folder state %s not loaded: %s", path, error.get()->message);
        return TRUE;
    }
    // Parses the same text again, straight into the caller's key file.
    g_key_file_load_from_data(keyfile, contents.get(), length, G_KEY_FILE_NONE, nullptr);
    return TRUE;
}

// Renames `path` to `target` unless `target` exists. Returns 0 or errno.
int rename_without_replacing(const gchar *path, const gchar *target)
{
    if (renameat2(AT_FDCWD, path, AT_FDCWD, target, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: check, then rename.
    GStatBuf info;
    if (g_lstat(target, &info) == 0)
        return EEXIST;
    return rename(path, target) == 0 ? 0 : errno;
}

// Moves the file at `path` to the first free name of "<path>.damaged",
// "<path>.damaged-2", ..., by name only: a FIFO or a device is never opened.
// (transfer full) (nullable): the new name, or NULL with `failure` set.
gchar *keep_damaged_file(const gchar *path, int *failure)
{
    for (int copy = 1; copy <= MAX_DAMAGED_COPIES; copy++) {
        GCharPtr target(copy == 1 ? g_strconcat(path, ".damaged", NULL)
                                  : g_strdup_printf("%s.damaged-%d", path, copy));
        *failure = rename_without_replacing(path, target.get());
        if (*failure == 0)
            return target.release();
        if (*failure != EEXIST)
            return nullptr;
    }
    return nullptr;
}

// A file on disk that does not load holds settings the user may want back:
// it goes aside before a save replaces it. FALSE when it must stay where it
// is, and so nothing may be saved.
gboolean keep_file_that_did_not_load(const gchar *path)
{
    GCharPtr contents;
    gsize length = 0;
    ErrorOut why;
    if (read_valid_key_file(path, contents, length, why.out()) ||
        g_error_matches(why.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT))
        return TRUE;
    int failure = 0;
    GCharPtr kept(keep_damaged_file(path, &failure));
    if (!kept) {
        g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING,
              "Folder state %s is damaged (%s) and cannot be kept aside (%s): not saved", path,
              why.get()->message, failure ? g_strerror(failure) : "too many damaged copies");
        return FALSE;
    }
    g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "Folder state %s is damaged (%s): kept as %s", path,
          why.get()->message, kept.get());
    return TRUE;
}

// Returns 0 or the errno of the failed step.
int write_all(int fd, const gchar *data, gsize length)
{
    while (length > 0) {
        ssize_t written = write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        length -= static_cast<gsize>(written);
    }
    return 0;
}

// Best effort: makes the rename itself survive a power cut.
void sync_parent_folder(const gchar *path)
{
    GCharPtr folder(g_path_get_dirname(path));
    int fd = open(folder.get(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

// Writes a sibling temporary file and renames it over `path`, so that readers
// see either the old file or the new one, never a part. Returns 0 or errno.
int replace_file_contents(const gchar *path, const gchar *data, gsize length)
{
    GCharPtr temp_path(g_strconcat(path, ".XXXXXX", NULL));
    int fd = g_mkstemp_full(temp_path.get(), O_RDWR | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno;

    int failure = write_all(fd, data, length);
    if (!failure && fchmod(fd, 0644) != 0)
        failure = errno;
    if (!failure && fsync(fd) != 0)
        failure = errno;
    if (close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && rename(temp_path.get(), path) != 0)
        failure = errno;
    if (failure) {
        g_unlink(temp_path.get());
        return failure;
    }
    sync_parent_folder(path);
    return 0;
}

} // namespace

gboolean ulvo_fm_ensure_path_exists(const gchar *path)
{
    g_return_val_if_fail(path != NULL, FALSE);

    GCharPtr expanded(expand_initial_tilde(path));
    if (!expanded)
        return FALSE;

    if (g_file_test(expanded.get(), G_FILE_TEST_IS_DIR))
        return TRUE;
    // A file standing where the folder should be is a failure too.
    if (g_mkdir_with_parents(expanded.get(), 0755) == 0 &&
        g_file_test(expanded.get(), G_FILE_TEST_IS_DIR))
        return TRUE;
    g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "Folder %s couldn't be created", expanded.get());
    return FALSE;
}

GKeyFile *ulvo_fm_key_file_init(GKeyFile *keyfile, const gchar *dir_path, const gchar *file_path)
{
    g_return_val_if_fail(file_path != NULL, keyfile);

    // The given key file comes back unchanged, so that the caller, which
    // stores the result, neither leaks nor loses it.
    if (!dir_path || !ulvo_fm_ensure_path_exists(dir_path)) {
        FM_ASSERTION_TEXT("ulvo_fm_ensure_path_exists (path)");
        return keyfile;
    }
    GCharPtr path(expand_initial_tilde(file_path));
    if (!path)
        return keyfile;

    // The first load is the program's start: what saves cut short by a crash
    // or a kill left behind goes then. Saves run on this thread, so none of
    // this process is under way.
    static gboolean leftovers_checked = FALSE;
    if (!leftovers_checked) {
        leftovers_checked = TRUE;
        guint removed = ulvo_vfs_remove_temporary_siblings(path.get());
        if (removed > 0)
            g_log(G_LOG_DOMAIN, G_LOG_LEVEL_MESSAGE,
                  "Removed %u temporary files of interrupted saves beside %s", removed, path.get());
    }

    if (!keyfile)
        keyfile = g_key_file_new();
    if (!load_whole_file(keyfile, path.get()))
        add_presets(keyfile);
    return keyfile;
}

void ulvo_fm_key_file_save(GKeyFile *keyfile, const gchar *dir_path, const gchar *file_path)
{
    FM_RETURN_IF_FAIL(keyfile != NULL, "keyfile != NULL");
    g_return_if_fail(file_path != NULL);

    if (!dir_path || !ulvo_fm_ensure_path_exists(dir_path)) {
        FM_ASSERTION_TEXT("ulvo_fm_ensure_path_exists (path)");
        return;
    }
    GCharPtr path(expand_initial_tilde(file_path));
    if (!path)
        return;

    // Serialized before the disk is touched: an error leaves the old file.
    gsize length = 0;
    ErrorOut error;
    GCharPtr data(g_key_file_to_data(keyfile, &length, error.out()));
    if (error) {
        g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "%s", error.get()->message);
        return;
    }
    if (!keep_file_that_did_not_load(path.get()))
        return;
    int failure = replace_file_contents(path.get(), data.get(), length);
    if (failure)
        g_log(G_LOG_DOMAIN, G_LOG_LEVEL_CRITICAL, "Saving configuration to %s failed: %s",
              path.get(), g_strerror(failure));
}

gint ulvo_fm_set_config_value_for_texturi(GKeyFile *key_file, const gchar *path_texturi, gint mode,
                                          gint sort_key, gint sort_order)
{
    FM_RETURN_VAL_IF_FAIL(key_file != NULL, "key_file != NULL", 1);
    FM_RETURN_VAL_IF_FAIL(path_texturi != NULL, "path_texturi != NULL", 1);
    FM_RETURN_VAL_IF_FAIL(*path_texturi != '\0', "*path_texturi != '\\0'", 1);
    // A larger key would spill into the mode and order bits.
    FM_RETURN_VAL_IF_FAIL(sort_key >= 0 && sort_key <= ULVO_FM_VIEW_STATE_SORT_KEY_MASK,
                          "sort_key >= 0 && sort_key <= 0x0f", 1);

    const gint value = (mode == 1 ? ULVO_FM_VIEW_STATE_MODE_BIT : 0) +
                       (sort_order == 1 ? ULVO_FM_VIEW_STATE_ORDER_BIT : 0) + sort_key;
    const std::string key = folder_key(path_texturi);
    if (value <= 0)
        g_key_file_remove_key(key_file, ULVO_FM_FOLDER_STATE_GROUP, key.c_str(), nullptr);
    else
        g_key_file_set_integer(key_file, ULVO_FM_FOLDER_STATE_GROUP, key.c_str(), value);
    return 0;
}

gint ulvo_fm_get_config_value_for_texturi(GKeyFile *keyfile, const gchar *path_texturi, gint *mode,
                                          gint *sort_key, gint *sort_order)
{
    FM_RETURN_VAL_IF_FAIL(keyfile != NULL, "keyfile != NULL", 1);
    FM_RETURN_VAL_IF_FAIL(path_texturi != NULL, "path_texturi != NULL", 1);

    const gint value = read_view_state(keyfile, folder_key(path_texturi));
    if (mode && (value & ULVO_FM_VIEW_STATE_MODE_BIT))
        *mode = 1;
    if (sort_order && (value & ULVO_FM_VIEW_STATE_ORDER_BIT))
        *sort_order = 1;
    if (sort_key)
        *sort_key = value & ULVO_FM_VIEW_STATE_SORT_KEY_MASK;
    return 0;
}

void ulvo_fm_copy_texturi_view_settings(const gchar *dst, const gchar *src)
{
    FM_RETURN_IF_FAIL(src != NULL, "src != NULL");
    FM_RETURN_IF_FAIL(dst != NULL, "dst != NULL");

    GKeyFile *keyfile = global_ofm ? global_ofm->keyfile : nullptr;
    if (!keyfile)
        return;
    gint mode = 0, sort_key = 0, sort_order = 0;
    if (ulvo_fm_get_config_value_for_texturi(keyfile, src, &mode, &sort_key, &sort_order) == 0)
        ulvo_fm_set_config_value_for_texturi(keyfile, dst, mode, sort_key, sort_order);
}

void ulvo_fm_copy_uri_view_settings(GFile *dst_uri, GFile *src_uri)
{
    FM_RETURN_IF_FAIL(dst_uri != NULL, "dst_uri != NULL");
    FM_RETURN_IF_FAIL(src_uri != NULL, "src_uri != NULL");

    GCharPtr dst(g_file_get_uri(dst_uri));
    GCharPtr src(g_file_get_uri(src_uri));
    if (!dst || !src) {
        g_log(G_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "Error allocating memory");
        return;
    }
    ulvo_fm_copy_texturi_view_settings(dst.get(), src.get());
}
