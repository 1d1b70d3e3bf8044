// What the running transfer shows and asks on the main loop: the progress
// note, the replace questions, and the notice that each error leaves.
#pragma once

#include "ops/xfer.h"

G_BEGIN_DECLS

// The update callback of every transfer: 1 go on; for errors 0 abort or 2
// skip; for replace questions 0 abort or 1 replace.
gint xfer_progress_callback(UlvoVfsAsyncHandle *handle, UlvoVfsXferProgressInfo *info,
                            gpointer data);

gboolean ulvo_fm_file_operations_progress_update(UlvoVfsXferProgressInfo *info, XferData *cdata);
// TRUE when the note is due for new numbers (and takes them as shown).
gboolean can_progress_update(UlvoVfsXferProgressInfo *info, XferData *cdata);
// The text's pixel width plus room for the note's frame; -1 for no widget.
gint ulvo_fm_predict_progress_dialog_width_based_on_text(GtkWidget *dialog, const gchar *text);

// Remembers the notice shown at the end: `kind` 0 banner, 1 note. Without
// `replace` an earlier text stays.
void xfer_set_error(XferData *cdata, int kind, gboolean replace, const gchar *text,
                    const gchar *button_text);
// The target is full: the not-enough-memory note, and the transfer stops.
void xfer_no_space(XferData *cdata);
// The target folder is gone: its note, replacing any other.
void xfer_target_folder_gone(XferData *cdata);
void xfer_track_partial_file(UlvoVfsXferProgressInfo *info, XferData *cdata);
gint xfer_handle_vfs_error(UlvoVfsXferProgressInfo *info, XferData *cdata);
gint xfer_handle_delete_error(UlvoVfsXferProgressInfo *info, XferData *cdata);
// Deletes the folder at `target` that the folder `source` replaces, and
// leaves an empty one in its place, keeping the main loop running meanwhile;
// called with the GDK lock held. ULVO_VFS_ERROR_CANCELLED when the transfer
// was cancelled meanwhile; on another error a notice may be recorded.
UlvoVfsResult xfer_clear_target_folder(XferData *cdata, const gchar *source, const gchar *target);
// The answer to a target that exists already.
gint xfer_handle_overwrite(UlvoVfsXferProgressInfo *info, XferData *cdata);

G_END_DECLS
