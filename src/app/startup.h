// The steps of start-up that tests share with the program.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// Locale and catalogs from the environment, English where the person's
// languages have no catalog; the XDG data variables default to "/usr/share"
// when unset. Call before gtk_init.
void ulvo_fm_init_locale_and_environment(void);

// Makes this the one running file manager. When another one runs already,
// asks it to come to the front and answers TRUE with the status this
// process must exit with; nothing has been shown then.
gboolean ulvo_fm_defer_to_running_instance(int *exit_status);

// Allocates the application record, creates and shows the browser window,
// and sets the operation state to none. (transfer none) The window.
GtkWidget *ulvo_fm_create_main_window(void);

// SIGINT destroys the main window from the main loop: the normal shutdown.
void ulvo_fm_install_sigint_handler(void);

G_END_DECLS
