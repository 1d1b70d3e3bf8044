// Classification of locations: device storage, memory cards, gateways,
// Samba and media servers, read-only places.
#pragma once

#include "model/app-record.h"
#include "platform/selection/kivel-file-selection.h"

#include <gio/gio.h>

G_BEGIN_DECLS

// Text URI predicates.
gboolean ulvo_fm_uri_is_in_gateway(const gchar *uri);
gboolean ulvo_fm_uri_is_in_media_server(const gchar *uri);
gboolean ulvo_fm_uri_is_in_samba_server(const gchar *uri);
// `which` (nullable) is set to 0 for the first card, 1 for the second.
gboolean ulvo_fm_uri_is_in_mmc(const gchar *uri, gint *which);
gboolean ulvo_fm_uri_is_root(const gchar *uri);
gboolean ulvo_fm_uri_exists(const gchar *uri);
gboolean ulvo_fm_uri_is_readonly(const gchar *uri, gint check_parent);
gboolean is_smb_share(const gchar *uri);
gboolean is_texturi_virtual(const gchar *uri);
gboolean ulvo_fm_is_texturi_directory(const gchar *uri);
// The file type (UlvoVfsFileType) of the location; 0 when unknown.
gint ulvo_fm_get_path_type(const gchar *uri);

// The GFile form (our file layer's URI object).
gboolean is_uri_in_mmc(GFile *uri, gint *which);

// Path predicates (a path is the model's canonical text URI).
gboolean is_path_virtual(const gchar *path);
gboolean is_path_in_samba_server(const gchar *path);
gboolean is_path_in_media_server(const gchar *path);
gboolean is_path_in_gateway(const gchar *path);
gboolean ulvo_fm_is_path_directory(const gchar *path);

// The model item type of `path`; 1 (a file) when the model does not know it.
gint ulvo_fm_fs_get_path_type(KivelFileSelection *fs, const gchar *path);

// Whether the current folder passes every test in `flags`: 1 not the
// virtual root, 2 not on a media server, 4 writable, 8 has items, 16 no
// safe folder selected in the documents folder.
gboolean ulvo_fm_check_current_folder(UlvoFmApp *ofm, gint flags);

G_END_DECLS
