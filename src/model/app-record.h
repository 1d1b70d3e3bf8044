// The application record and the process-wide values that every layer
// reads. It sits below the commands so that they and the location model can
// reach it; the program's start-up fills it.
#pragma once

#include "model/selection-info.h"
#include "platform/selection/kivel-file-selection.h"
#include "platform/fsmodel/kivel-file-system-model.h"
#include "platform/libulvo/ulvo.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

// Which user command runs. The numbers are fixed: the hibernation rule
// compares them and the media server rule takes them as operation codes.
typedef enum {
    OPER_OPEN = 1,
    OPER_NEW_FOLDER = 2,
    OPER_RENAME = 3,
    OPER_DELETE = 4,
    OPER_SEND = 5,
    OPER_DETAILS = 6,
    OPER_COPY = 8,
    OPER_MOVE = 10,
    OPER_SORT = 14,
    OPER_FORMAT_MMC = 17,
    OPER_RENAME_MMC = 18,
    OPER_NONE = 24
} UlvoFmOperation;

typedef struct _UlvoFmApp {
    GtkWidget *window;                  // the browser window
    GtkWidget *edit_window;             // the edit-mode window while one is open
    KivelFileSystemBackend *filesystem; // the model's "backend-object"
    GtkWidget *popup_menu;              // the context menu last popped up
    GtkWidget *file_selection;          // the file selection commands act on
    GtkWidget *main_file_selection;     // the main one, parked while an edit window is open
    UlvoFmSelectionInfo *selection_info;
    gint cur_operation;
    gboolean xfer_started;
    gboolean xfer_callback_data_freed;
    GtkWidget *registered_dialog;
    GSList *registered_paths;
    GKeyFile *keyfile;
    GtkWidget *folder_up_button;
    GtkWidget *path_label;
} UlvoFmApp;

extern UlvoFmApp *global_ofm;

extern ulvo_context_t *fm_app_ctx;
extern gboolean shutting_down;
extern gboolean not_topmost;
extern gchar *pending_folder_uri;
extern gboolean details_dialog_open;

G_END_DECLS
