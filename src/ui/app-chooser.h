// Picking the application that opens files which have none of their own.
#pragma once

#include "model/app-record.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

// Where the applications' desktop entries live, subfolders included.
#define ULVO_FM_APPLICATIONS_DIR "/usr/share/applications/kivel"

typedef struct {
    GtkWidget *dialog;
    GtkWidget *tree_view;
    GtkListStore *store;      // 0: translated title, 1: service
    GtkTreeModel *sort_model; // the store by title
    GSList *uris;             // borrowed from the caller
} UlvoFmAppChooser;

// Offers the applications for the text URIs `uris` (borrowed, in selection
// order) and hands them to the one picked.
void ulvo_fm_show_application_chooser(UlvoFmApp *app, GSList *uris);

// (transfer full) The dialog with an empty list, its label naming `first_uri`.
UlvoFmAppChooser *ulvo_fm_application_chooser_new(const gchar *first_uri);

// Adds the usable desktop entries found under `folder` to the chooser's list.
void ulvo_fm_application_chooser_fill(UlvoFmAppChooser *chooser, const gchar *folder);

// The bus name, object path and interface of an application's service
// value `service`; FALSE when they would not be valid D-Bus names.
gboolean ulvo_fm_app_service_address(const gchar *service, gchar **name, gchar **object_path);

G_END_DECLS
