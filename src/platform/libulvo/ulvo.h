// The application context of the platform library: a session bus service
// under the application's name, calls to other services, the saved state of
// the application and the control panel plugin launcher.
#pragma once

#include <dbus/dbus.h>
#include <glib.h>

G_BEGIN_DECLS

// Results. Every failure is negative.
enum {
    ULVO_OK = 0,
    // A failure with no more precise code.
    ULVO_ERROR = -1,
    // Missing context, malformed name, unsupported argument type, a string
    // that is not UTF-8, or a call to the caller's own service: nothing sent.
    ULVO_ERROR_INVALID_PARAMS = -2,
    // The request could not be sent or its reply could not be read.
    ULVO_ERROR_RPC_FAILED = -3,
    // The service answered with an error; the return value holds its text.
    ULVO_ERROR_SERVICE_ERROR = -4,
    // Nobody owns the service name; the return value holds the bus's text.
    ULVO_ERROR_NO_SERVICE = -5,
    // No reply within ULVO_RPC_TIMEOUT_MS; the return value holds the text.
    ULVO_ERROR_TIMEOUT = -6,
    // ulvo_state_read: no state has been written yet.
    ULVO_ERROR_NO_STATE = -7,
    // ulvo_claim_application: another process serves the application.
    ULVO_ERROR_ALREADY_RUNNING = -8,
};

// How long ulvo_rpc_run waits for a reply.
#define ULVO_RPC_TIMEOUT_MS 25000

typedef struct ulvo_context ulvo_context_t;

// One value of a call: `type` is a D-Bus type code, DBUS_TYPE_INVALID for
// "no value". Strings are owned by whoever owns the record.
typedef struct {
    int type;
    union {
        gchar *s;
        gint32 i;
        guint32 u;
        gboolean b;
        gdouble d;
    } value;
} ulvo_rpc_t;

// Receives every method call made to the context's object path, on the main
// loop, holding the GDK lock. `interface` is the context's own interface
// when the caller named none. `arguments` holds ulvo_rpc_t records whose
// strings are borrowed for the call; arguments of other D-Bus types appear
// as DBUS_TYPE_INVALID records, so positions are kept. A value put into
// `retval` (strings g_strdup'ed) is sent back and then freed by the library.
// Returning anything but ULVO_OK sends an error reply, whose text is the
// string of `retval` when there is one.
typedef gint (*ulvo_rpc_cb_f)(const gchar *interface, const gchar *method, GArray *arguments,
                              gpointer data, ulvo_rpc_t *retval);

// Size and bytes of a saved state.
typedef struct {
    guint32 state_size;
    gpointer state_data;
} ulvo_state_t;

// The entry point that every control panel plugin exports as "execute".
typedef gint (*ulvo_cp_plugin_execute_f)(ulvo_context_t *context, gpointer data,
                                         gboolean user_activated);

// Connects to the session bus and publishes the service "com.kavra.<application>"
// with the object "/com/kavra/<application>" and the interface of the same
// name. NULL, with a warning saying why, when there is no bus, the name is
// not usable or another process owns it already. `activation` and
// `user_data` are kept for the platform's own use.
// (transfer full) release with ulvo_deinitialize
ulvo_context_t *ulvo_initialize(const gchar *application, const gchar *version, gboolean activation,
                                gpointer user_data);

// Requests the service name of `application` before anything is shown, so
// that only one process serves it; the next ulvo_initialize of the same
// application takes the name over. ULVO_OK when this process owns it now,
// ULVO_ERROR_ALREADY_RUNNING when another one does, another negative code
// when the bus cannot be reached.
gint ulvo_claim_application(const gchar *application);

// Calls `method`, without arguments, of the process that serves
// `application`, waiting at most `timeout_ms` for the reply. ULVO_OK on a
// reply, ULVO_ERROR_NO_SERVICE when nobody serves it, ULVO_ERROR_TIMEOUT,
// or another negative code.
gint ulvo_call_application(const gchar *application, const gchar *method, gint timeout_ms);

// Gives up the service name and the bus connection. NULL is allowed.
void ulvo_deinitialize(ulvo_context_t *context);

// The context's connection to the session bus.
// (transfer none)
DBusConnection *ulvo_get_dbus_connection(ulvo_context_t *context);

// Installs the callback that receives the method calls of the service.
gint ulvo_rpc_set_default_cb_f(ulvo_context_t *context, ulvo_rpc_cb_f callback, gpointer data);

// Calls `method` of another service and waits for the reply, at most
// ULVO_RPC_TIMEOUT_MS. The arguments follow `first_arg_type` as pairs of a
// type code and the value itself (not a pointer to it: gchar* for
// DBUS_TYPE_STRING, gint32, guint32, gboolean, gdouble), closed by
// DBUS_TYPE_INVALID. The first value of the reply goes into `retval`
// (nullable; overwritten, not freed first; free it with ulvo_rpc_free_val);
// on failures that carry a D-Bus error its text goes there as a string.
// Calls to the context's own service are refused: the main loop that would
// answer them is the one waiting here, so they could only time out.
gint ulvo_rpc_run(ulvo_context_t *context, const gchar *service, const gchar *object_path,
                  const gchar *interface, const gchar *method, ulvo_rpc_t *retval,
                  int first_arg_type, ...);

// Frees the string of `value` if it holds one and marks it as empty.
void ulvo_rpc_free_val(ulvo_rpc_t *value);

// The largest state the service saves or gives back, in bytes.
#define ULVO_STATE_MAX_SIZE (4u * 1024u * 1024u)

// Saves the state's bytes for the application, replacing the previous state
// only once the new one is safely on disk. A state larger than
// ULVO_STATE_MAX_SIZE is refused (ULVO_ERROR_INVALID_PARAMS) and the
// previous one stays.
gint ulvo_state_write(ulvo_context_t *context, ulvo_state_t *state);

// Fills `state` with the bytes of the last saved state; state_data is
// (transfer full) free it with g_free (NULL for an empty state).
// ULVO_ERROR_NO_STATE when none was saved, another negative code when it
// cannot be read or is not a regular file of at most ULVO_STATE_MAX_SIZE.
gint ulvo_state_read(ulvo_context_t *context, ulvo_state_t *state);

// Loads the control panel plugin `filename` (a file name, not a path) from
// the plugin folder and runs its "execute" with `data`. The plugin folder is
// $ULVO_PLUGIN_DIR when set, else the build tree's for a program run from
// there, else the installed one. `context` may be NULL.
gint ulvo_cp_plugin_execute(ulvo_context_t *context, const gchar *filename, gpointer data,
                            gboolean user_activated);

G_END_DECLS
