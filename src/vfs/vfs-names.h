// File names: where the extension begins, the automatic number " (n)" at the
// end of a name, and the next free numbered name. One rule for every caller
// that numbers names, so that the model and the commands never disagree.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

// The longest file name, in bytes, that the file systems in use take.
#define ULVO_VFS_NAME_MAX 255

// Where the extension of `name` begins (its dot), or NULL. The extension is
// the longest pattern of the shared MIME glob list for the name's type
// ("archive.tar.gz" gives ".tar.gz"), else the text from the last dot. Names
// of unknown type and names that are only an extension (".profile") have none.
// (transfer none): a pointer into `name`.
const char *ulvo_vfs_name_get_extension(const char *name);

// TRUE when the first `length` bytes of `name` end in an automatic number:
// a space, "(" (not the first character), up to nine ASCII digits, ")".
// Then `base_length` gets the length before the space and `number` the number
// (0 for "()"); otherwise neither is touched.
gboolean ulvo_vfs_name_find_autonumber(const char *name, gsize length, gsize *base_length,
                                       int *number);

// "base (number)extension", with the base shortened at a character boundary
// so that the name fits in ULVO_VFS_NAME_MAX bytes. `extension` may be NULL.
// (transfer full)
gchar *ulvo_vfs_name_with_number(const char *base, gsize base_length, int number,
                                 const char *extension);

// Answers whether the candidate name is taken where it would go.
typedef gboolean (*UlvoVfsNameTakenFunc)(const char *name, gpointer data);

// The first numbered variant of `name` that `taken` says is free, counting on
// from the name's own automatic number. `extension` (a pointer into `name`, or
// NULL) stays at the end. Gives up after 1000 numbers.
// (transfer full) (nullable): NULL when every number tried was taken.
gchar *ulvo_vfs_name_next_free(const char *name, const char *extension, UlvoVfsNameTakenFunc taken,
                               gpointer data);

G_END_DECLS
