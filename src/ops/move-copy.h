// Moving and copying the selected items to a chosen folder.
#pragma once

#include "model/app-record.h"

#include <gio/gio.h>

G_BEGIN_DECLS

// TRUE when the selection may be moved (copied) and the folder chooser ran;
// FALSE, after a banner that says why where there is one, when it may not.
gboolean ulvo_fm_move_selection(UlvoFmApp *app);
gboolean ulvo_fm_copy_selection(UlvoFmApp *app);

// Asks for the destination folder and starts the move (or copy) of what is
// selected in `file_selection` there; refusals keep asking.
void ulvo_fm_dialog_move(GtkWindow *window, KivelFileSelection *file_selection, gboolean move);

// Takes out of `*selection` (text URIs, g_free'd) what may not be moved:
// special folders, devices, unknown and read-only folders. In mode 0 they
// are also unselected in `fileselection`. Returns how many there were.
int remove_safe_folders_from_gslist(KivelFileSelection *fileselection, GSList **selection,
                                    int mode);

// 0 when `target_uri` may receive `selection`; -1 without a list or a usable
// target; -2 when the target is a source or lies inside one; -3 when the
// target holds an entry of a source's name that contains that source.
int ulvo_fm_uri_check_target_in_sources(GSList *selection, const gchar *target_uri);

// TRUE when `target_uri` is the folder that holds the first item.
gboolean ulvo_fm_uri_is_source_folder(GSList *selection, const gchar *target_uri);

// Appends, per item of `sourceselection` (text URIs), its GFile to
// `*sourcelist` and the GFile of its new place in `target_uri` to
// `*targetlist` (transfer full, both).
void make_uri_list(GSList *sourceselection, GList **sourcelist, const gchar *target_uri,
                   GList **targetlist, KivelFileSystemModel *model, gboolean autorename);

G_END_DECLS
