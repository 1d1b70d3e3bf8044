// Captions: a row of a form, a label in front of the control it names.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// Status of a caption's control.
enum {
    KIVEL_CAPTION_OPTIONAL = 0,
    // The label is marked with an asterisk.
    KIVEL_CAPTION_MANDATORY = 1,
};

// (transfer full, floating) A new horizontal box: `icon` (may be NULL), a
// label with the text `label`, then `control`, which takes the spare width. The label joins `group`
// (may be NULL) so that the controls of several captions line up.
GtkWidget *kivel_caption_new(GtkSizeGroup *group, const gchar *label, GtkWidget *control,
                             GtkWidget *icon, guint status);

G_END_DECLS
