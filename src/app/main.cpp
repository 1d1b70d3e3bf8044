// Start-up: libraries in a fixed order, the application record, the window,
// and the main loop until the window is destroyed.
#include "app/startup.h"
#include "platform/toolkit/kivel-program.h"

#include <dbus/dbus-glib.h>
#include <libintl.h>

int main(int argc, char **argv)
{
    ulvo_fm_init_locale_and_environment();
    int exit_status = 0;
    if (ulvo_fm_defer_to_running_instance(&exit_status))
        return exit_status;

    // GLib initialises its threads itself; the main thread holds the GDK
    // lock from here until the main loop has ended.
    gdk_threads_init();
    gdk_threads_enter();
    gtk_init(&argc, &argv);
    dbus_g_thread_init();
    kivel_init();
    g_set_application_name(dgettext("ulvo-filemanager", "sfil_ap_name"));

    ulvo_fm_create_main_window();
    ulvo_fm_install_sigint_handler();

    gtk_main();
    gdk_threads_leave();
    return 0;
}
