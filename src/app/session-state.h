// The window state written through the platform state service whenever the
// window goes to the background, so that a restarted program looks the same.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

// Writes window mode, details flag, active pane, current folder and selection.
void ulvo_fm_write_state(void);
// Writes "Closed", so that the next start begins afresh.
void clear_fm_state(void);
// Reads the state and restores folder, selection and pane.
void ulvo_fm_read_state(void);
void ulvo_fm_restore_view(gboolean navigation_pane);
// Forgets a restored folder and the details flag.
void ulvo_fm_reset_state(void);

void ulvo_fm_set_fullscreen_flag(gboolean fullscreen);

G_END_DECLS
