// Names for new targets: extensions, automatic numbers, free numbered names,
// and the test for a folder directly under the home directory.
#pragma once

#include "platform/kivel-file-system-model.h"

#include <gio/gio.h>

G_BEGIN_DECLS

// Where the extension of `name` begins (".tar.gz" of "archive.tar.gz"), or
// NULL when the name has none.
// (transfer none): a pointer into `name`.
const gchar *ulvo_fm_path_get_extension(const gchar *name);

// `name` without its automatic number ("Photo" of "Photo (2)"); the number
// goes to `number` when one was removed and `number` is not NULL.
// (transfer full)
gchar *autoname_remove_autonumber(const gchar *name, int *number);

// When `*texturi` equals (ignoring case) one of `uris` (GFile*), replaces it
// with a numbered variant in the same folder that is neither on disk nor in
// `uris`, and returns TRUE. Otherwise leaves it and returns FALSE.
gboolean autorename_uri(gchar **texturi, GSList *uris);

// Replaces `*filepath_texturi` with the free name the model proposes; keeps
// it on any failure.
void autorename_texturi(gchar **filepath_texturi, KivelFileSystemModel *model);

// TRUE when the text URI `path` is the home directory's child `shortname`.
gboolean is_path_from_home(const gchar *path, const gchar *shortname);

G_END_DECLS
