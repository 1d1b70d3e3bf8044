// Text URI helpers. A text URI is a UTF-8 string with %-escapes, such as
// "file:///home/user/MyDocs/a%20b.jpg". Every helper works on the text alone
// (no I/O) unless it says otherwise, so schemes without a local backend
// (obex://, smb://, upnpav://, files:///, ...) work as well as file://.
// An absolute path ("/home/user") is taken as the file URI of that path.
// Paths are canonical for the arithmetic: "//", "." and ".." are resolved.
#pragma once

#include <glib.h>

#include "vfs/vfs-result.h"

G_BEGIN_DECLS

// FALSE for NULL, "", text without a scheme, control characters, bad or %00
// escapes, an unclosed "[" in the host, a relative file: path and an escaped
// "/" in a file: path.
gboolean ulvo_vfs_uri_is_valid(const char *text_uri);

// The URI with the parts in `hide_options` (UlvoVfsUriHideOptions) left out,
// its path made canonical; a trailing "/" is kept.
// (transfer full) (nullable): NULL for an invalid URI.
gchar *ulvo_vfs_uri_to_string(const char *text_uri, guint hide_options);

// The unescaped last component, trailing "/" ignored; for a root the host
// name ("server" for smb://server/) or "/" when there is no host.
// (transfer full) (nullable): NULL for an invalid URI.
gchar *ulvo_vfs_uri_short_name(const char *text_uri);

// The last component as escaped in the URI, trailing "/" ignored; "/" for a
// root.
// (transfer full) (nullable): NULL for an invalid URI.
gchar *ulvo_vfs_uri_short_path_name(const char *text_uri);

// The parent's text URI, without a trailing "/" except for a root
// ("smb://server/share" gives "smb://server/"). The fragment is dropped.
// (transfer full) (nullable): NULL for an invalid URI or a root.
gchar *ulvo_vfs_uri_get_parent(const char *text_uri);

// The escaped path of the folder holding the location, ending in "/"
// ("/home/user/" for file:///home/user/a.txt; "/" for a root).
// (transfer full) (nullable): NULL for an invalid URI.
gchar *ulvo_vfs_uri_extract_dirname(const char *text_uri);

// TRUE when `child` lies inside `parent`: directly, or at any depth when
// `recursive`. A URI is not its own parent.
gboolean ulvo_vfs_uri_is_parent(const char *parent, const char *child, gboolean recursive);

// TRUE when both name the same location: schemes and host names compare
// without case, "localhost" is the empty host of file:, paths compare
// canonical and unescaped, a trailing "/" does not count. FALSE when either
// URI is invalid.
gboolean ulvo_vfs_uri_equal(const char *a, const char *b);

// Escapes everything but letters, digits and - . _ ~ ! ' ( ) *; suits a name
// put into a URI.
// (transfer full)
gchar *ulvo_vfs_escape_string(const char *string);

// Escapes a path the way file URIs spell it; "/" stays.
// (transfer full)
gchar *ulvo_vfs_escape_path_string(const char *path);

// Undoes %-escapes. NULL when an escape is malformed, is %00 or yields a
// character of `illegal_characters` (nullable).
// (transfer full) (nullable)
gchar *ulvo_vfs_unescape_string(const char *escaped, const char *illegal_characters);

// TRUE when the location is there, a dangling symbolic link included (links
// are not followed). Does I/O; FALSE for every URI without a local file.
gboolean ulvo_vfs_uri_exists(const char *text_uri);

// TRUE for a file: URI of this machine whose file system is not a network
// one. Does I/O.
gboolean ulvo_vfs_uri_is_local(const char *text_uri);

// The file URI of an absolute local path; a trailing "/" is kept.
// (transfer full) (nullable): NULL for a relative path.
gchar *ulvo_vfs_make_uri_from_path(const char *path);

// The local path of a file: URI of this machine, canonical, without a
// trailing "/" (except "/").
// (transfer full) (nullable): NULL for an invalid URI, another scheme,
// another host or a URI with a fragment.
gchar *ulvo_vfs_get_local_path_from_uri(const char *text_uri);

// The URI of the child called `file_name` (unescaped; it is escaped here).
// (transfer full) (nullable): NULL for an invalid URI, or a name that is
// empty, "." or ".." or holds a "/".
gchar *ulvo_vfs_uri_append_file_name(const char *text_uri, const char *file_name);

G_END_DECLS
