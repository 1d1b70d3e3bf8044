// Per-folder view settings (view mode, sort key, sort order) kept in one key
// file, group "FOLDER STATE", keyed by the folder's text URI.
#pragma once

#include <gio/gio.h>

G_BEGIN_DECLS

// Bits of the stored view state of a folder.
#define ULVO_FM_VIEW_STATE_MODE_BIT 0x40
#define ULVO_FM_VIEW_STATE_ORDER_BIT 0x20
#define ULVO_FM_VIEW_STATE_SORT_KEY_MASK 0x0f

#define ULVO_FM_FOLDER_STATE_GROUP "FOLDER STATE"

// TRUE when the directory `path` (a leading "~" is the home directory) exists
// or could be created, with its missing parents, as 0755.
gboolean ulvo_fm_ensure_path_exists(const gchar *path);

// Loads `file_path` into `keyfile` (a new key file when NULL). A file that
// reads and parses replaces the contents; one that is missing, unreadable,
// invalid, not a regular file or over 16 MiB leaves them as they were. When
// the file does not exist, the media folders get their presets in memory.
// The first call of the process also removes the temporary files of saves
// that were cut short.
// (transfer full) when `keyfile` is NULL, else returns `keyfile` itself;
// (nullable): NULL only when no key file was given and the folder cannot be
// ensured.
GKeyFile *ulvo_fm_key_file_init(GKeyFile *keyfile, const gchar *dir_path, const gchar *file_path);

// Writes `keyfile` to `file_path` (mode 0644) so that a failure or a crash
// leaves the previous file whole. A file there that does not load is first
// moved, unread, to the first free name of "<file>.damaged",
// "<file>.damaged-2", ...; when that fails, nothing is saved.
void ulvo_fm_key_file_save(GKeyFile *keyfile, const gchar *dir_path, const gchar *file_path);

// Stores a folder's view state in memory; the defaults (mode 0, name,
// ascending) remove the folder's entry. Returns 0, or 1 on bad arguments.
gint ulvo_fm_set_config_value_for_texturi(GKeyFile *key_file, const gchar *path_texturi, gint mode,
                                          gint sort_key, gint sort_order);

// Reads a folder's view state: `mode` and `sort_order` are set to 1 when their
// bit is stored and left alone otherwise; `sort_key` is always set (0 when
// the folder has no valid entry). Any out pointer may be NULL. Returns 0, or
// 1 on bad arguments.
gint ulvo_fm_get_config_value_for_texturi(GKeyFile *keyfile, const gchar *path_texturi, gint *mode,
                                          gint *sort_key, gint *sort_order);

// Gives folder `dst` the view state of folder `src` in the application's key
// file; does nothing while no key file is loaded.
void ulvo_fm_copy_texturi_view_settings(const gchar *dst, const gchar *src);
void ulvo_fm_copy_uri_view_settings(GFile *dst_uri, GFile *src_uri);

G_END_DECLS
