// The application's one main window: a header row (folder-up button and path
// label) above the two-pane file selection, built in six timed stages.
#pragma once

#include "model/selection-info.h"
#include "platform/toolkit/kivel-app-menu.h"
#include "platform/selection/kivel-file-selection.h"
#include "platform/toolkit/kivel-window.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define ULVO_FM_TYPE_BROWSER (ulvo_fm_browser_get_type())
#define ULVO_FM_BROWSER(o) (G_TYPE_CHECK_INSTANCE_CAST((o), ULVO_FM_TYPE_BROWSER, UlvoFmBrowser))
#define ULVO_FM_IS_BROWSER(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), ULVO_FM_TYPE_BROWSER))

typedef struct _UlvoFmBrowser {
    KivelStackableWindow parent;
    gint construction_step;
    guint construction_timeout_id;
    UlvoFmSelectionInfo *selection_info;
    GKeyFile *keyfile;
    KivelAppMenu *main_menu;
    GtkWidget *new_folder_button;
    GtkWidget *move_button;
    GtkWidget *copy_button;
    GtkWidget *delete_button;
    GtkWidget *sort_button;
    GtkWidget *memory_usage_button;
    GtkWidget *popup_menu;
    GtkWidget *file_selection; // also referenced by the window until finalization
    GtkWidget *folder_up_button;
    GtkWidget *path_label;
    gboolean destroyed; // "destroy" runs again at the last unref
} UlvoFmBrowser;

typedef struct _UlvoFmBrowserClass {
    KivelStackableWindowClass parent_class;
} UlvoFmBrowserClass;

GType ulvo_fm_browser_get_type(void);

// (transfer none) The file selection, built with the header row on first call.
GtkWidget *ulvo_fm_browser_get_file_selection(UlvoFmBrowser *browser);

// (transfer none) The application menu, built on first call.
KivelAppMenu *ulvo_fm_browser_get_main_menu(UlvoFmBrowser *browser);

gboolean ulvo_fm_browser_construction_timeout_cb(gpointer data);
void ulvo_fm_browser_selection_changed_cb(KivelFileSelection *file_selection, gpointer data);

G_END_DECLS
