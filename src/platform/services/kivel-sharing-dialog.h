// The sharing dialog: lists the files to send and the ways this device
// offers to send them; choosing a way hands the files to its program.
#pragma once

#include "platform/libulvo/ulvo.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

// Ways to send, as bits of the button mask; a way whose program is not
// installed is not offered.
#define SHARING_DIALOG_EMAIL 0x1     // e-mail, through xdg-email
#define SHARING_DIALOG_BLUETOOTH 0x2 // Bluetooth, through bluetooth-sendto
#define SHARING_DIALOG_ALL 0x7

// Runs the modal sharing dialog for the text URIs `uris` (borrowed, in
// order), transient for `parent` (nullable), offering the ways in `mask`.
// `context` is the platform context (nullable). Returns when the dialog
// has ended; the chosen program runs on by itself.
void sharing_dialog_button_mask_with_files(ulvo_context_t *context, GtkWindow *parent, GSList *uris,
                                           guint mask);

G_END_DECLS
