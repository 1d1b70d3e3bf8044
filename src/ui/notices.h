// Notes, banners, the dialog that closes when the selection changes, and
// the refusal of operations on media server items.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// Runs a modal question with two buttons over the main window and returns
// the response; -1 when `window` is neither NULL nor a window. With
// `register_note` the note closes with GTK_RESPONSE_NONE when the selection
// it was asked for changes.
gint fm_confnote(GtkWindow *window, const gchar *description, const gchar *first_label,
                 gint first_response, const gchar *second_label, gint second_response,
                 gint register_note);

// Runs a modal message with one button (`button_text`, nullable) over
// `window` (nullable: the main window).
void fm_infonote(GtkWindow *window, const gchar *text, const gchar *button_text);

// Shows `text` in a banner and returns at once.
void fm_infoprint(GtkWindow *window, const gchar *text);

// Makes `dialog` the one that answers GTK_RESPONSE_NONE when the items of
// the selection record's current selection stop being selected.
void fm_register_dialog(GtkWidget *dialog);
void fm_unregister_dialog(GtkWidget *dialog);

// For the selection-changed handler: answers the registered dialog with
// GTK_RESPONSE_NONE when the selection is no longer the one it was opened for.
void fm_check_registered_dialog(UlvoFmApp *app);

// TRUE, after a banner that says why, when `operation` (an OPER_* code) may
// not run on the selection because the current folder is on a media server.
// The caller refreshes the selection record first.
gboolean media_items_check_operation(gint operation, UlvoFmApp *app);

G_END_DECLS
