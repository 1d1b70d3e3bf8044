// The one engine behind copy, move, delete and rename: a transfer record, a
// progress note, the asynchronous transfer of the file layer, and what
// follows its end (model reload, thumbnails, one deferred notice).
#pragma once

#include "vfs/vfs-xfer.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

G_BEGIN_DECLS

typedef enum { XFER_COPY, XFER_MOVE, XFER_DELETE, XFER_RENAME } XferKind;

// Longest local path a target may have, in characters.
#define XFER_MAX_NAME_LENGTH 255

typedef struct {
    gboolean cancelled;
    UlvoVfsAsyncHandle *handle;
    GtkWidget *status_window; // the progress note; NULL for a rename
    GtkWindow *parent_window;
    GtkProgressBar *progress_bar;
    gchar *progress_text;
    gchar *button_text_single;
    gchar *button_text_multi;
    gchar *error_text; // the notice shown at the end; NULL: none
    gchar *error_button_text;
    int error_kind; // 0 banner, 1 information note
    int error_count;
    int excluded_count;
    int existing_target_count;
    int skipped_count;
    int in_use_count;
    int overwrite_answer; // -1 not asked, 0 no, 1 yes
    GList *source_uris;   // GFile, owned
    GList *target_uris;   // GFile, owned
    GList *long_name_uris;
    GList *partial_file; // target and source text URI of the file being written
    GTimeVal last_update_time;
    gulong last_file_index;
    int last_percent;
    XferKind kind;
    gboolean sweep_sources;
    // Source text URIs whose whole item the file layer reported as done;
    // touched on the transfer's thread only.
    GHashTable *completed_sources;
    // The folder the targets go to, as it was when the transfer began: a
    // card pulled meanwhile leaves another folder (or none) at its path.
    gchar *target_folder;
    guint64 target_folder_device;
    guint64 target_folder_inode;
} XferData;

// Starts the transfer of `sources` to `targets` (GFile lists; NULL targets
// for a delete). Drops one reference of every GFile of both lists; the list
// cells stay the caller's. Sets the record's xfer_started when a transfer
// was launched; the operation state then returns to OPER_NONE at its end.
void xfer_uri(GList *sources, GList *targets, GtkWindow *parent_window, XferKind kind,
              int excluded_count, int skipped_count, int unused);

void xfer_init(XferData *cdata);
void xfer_cleanup(XferData **cdata);
void xfer_dialog_on_response_event(GtkDialog *note, gint response_id, gpointer data);
gint xfer_sync_callback(UlvoVfsXferProgressInfo *info, gpointer data);
void xfer_build_uri_lists(GList *sources, GList *targets, XferData *cdata);
// 0 go on, 1 a name cannot be shortened enough, 2 the person cancelled.
int xfer_shorten_long_names(GtkWindow *parent_window, XferData *cdata);
void xfer_update_thumbnails(GList *sources, GList *targets, XferKind kind);

// Watches every report of the transfers started from now on, on the
// transfer's thread, before the transfer's own handling. An observer that
// answers FALSE stops the transfer as the note's button does. NULL removes
// it.
typedef gboolean (*XferReportObserver)(const UlvoVfsXferProgressInfo *info, gpointer data);
void xfer_set_report_observer(XferReportObserver observer, gpointer data);

// (transfer full) The text URI of a GFile.
gchar *xfer_uri_text(GFile *file);

// (transfer none) `id` of `catalog` in the language of the moment.
const gchar *xfer_text(const gchar *catalog, const gchar *id);

G_END_DECLS
