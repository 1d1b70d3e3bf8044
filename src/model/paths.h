// Conversions between paths and text URIs, parents, display and short names.
#pragma once

#include "platform/fsmodel/kivel-file-system-model.h"

#include <gio/gio.h>

G_BEGIN_DECLS

// All results are (transfer full), g_free'd, or NULL.
gchar *ulvo_fm_texturi_to_path(const gchar *texturi);
gchar *ulvo_fm_path_to_texturi(const gchar *path);
gchar *ulvo_fm_uri_to_path(GFile *uri);
gchar *ulvo_fm_make_path(const gchar *parent, const gchar *name);
gchar *ulvo_fm_get_parent(const gchar *path);
gchar *ulvo_fm_texturi_get_parent(const gchar *texturi);
gchar *ulvo_fm_uri_get_dirname(const gchar *texturi);

gchar *ulvo_fm_texturi_get_display_name(KivelFileSystemModel *model, const gchar *texturi);
gchar *ulvo_fm_path_get_display_name(KivelFileSystemModel *model, const gchar *path);
gchar *ulvo_fm_texturi_get_shortname(KivelFileSystemBackend *file_system, const gchar *texturi);
gchar *ulvo_fm_path_get_shortname(KivelFileSystemBackend *file_system, const gchar *path);

// Frees every string of `list` and the list; NULL is fine.
void ulvo_fm_free_texturi_list(GSList *list);
// Releases every GFile of `list`; the list cells stay the caller's.
void ulvo_fm_unref_uri_list(GSList *list);

// Microseconds from `start` to `end`, clamped to +-2^30 beyond 1000 s.
gint timeval_diff(GTimeVal *end, GTimeVal *start);

G_END_DECLS
