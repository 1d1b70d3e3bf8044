// Notes: small modal dialogs that ask a question, tell something, or follow
// a long operation with a progress bar and a cancel button. Every text a note
// shows is also logged at debug level under the domain "Kivel" as
// "note: <text>".
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_NOTE (kivel_note_get_type())
#define KIVEL_NOTE(o) (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_NOTE, KivelNote))
#define KIVEL_IS_NOTE(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_NOTE))

typedef struct _KivelNote KivelNote;
typedef struct _KivelNoteClass KivelNoteClass;

GType kivel_note_get_type(void);

// Every note is a modal GtkDialog, transient for `parent` (may be NULL), with
// its text in a GtkLabel. Property "description" (string, read-write): that
// text. Closing a note answers GTK_RESPONSE_DELETE_EVENT.

// (transfer none: a toplevel) A question with two buttons: "Yes"
// (GTK_RESPONSE_OK) and "No" (GTK_RESPONSE_CANCEL).
GtkWidget *kivel_note_new_confirmation(GtkWindow *parent, const gchar *description);

// (transfer none: a toplevel) A question with the buttons given as pairs of
// label and response id, ended by NULL; the labels are shown as given.
GtkWidget *kivel_note_new_confirmation_add_buttons(GtkWindow *parent, const gchar *description,
                                                   ...) G_GNUC_NULL_TERMINATED;

// (transfer none: a toplevel) (nullable) A message with one button, "OK"
// (GTK_RESPONSE_OK); NULL when `description` is NULL.
GtkWidget *kivel_note_new_information(GtkWindow *parent, const gchar *description);

// (transfer none: a toplevel) A note that shows `description` above
// `progress_bar` (NULL: a new one) and one button, "Cancel", which answers
// GTK_RESPONSE_CANCEL.
GtkWidget *kivel_note_new_cancel_with_progress_bar(GtkWindow *parent, const gchar *description,
                                                   GtkProgressBar *progress_bar);

// Sets the text of the note's first button: the only button of an
// information or progress note, the first of a question.
void kivel_note_set_button_text(KivelNote *note, const gchar *text);

// (transfer none) (nullable) The progress bar of a progress note.
GtkProgressBar *kivel_note_get_progress_bar(KivelNote *note);

G_END_DECLS
