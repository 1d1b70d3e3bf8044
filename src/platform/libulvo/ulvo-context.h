// What the parts of the platform library share about a context. Not for
// callers of the library.
#pragma once

#include "platform/libulvo/ulvo.h"

G_BEGIN_DECLS

struct ulvo_context {
    gchar *application;
    gchar *version;
    gboolean activation;
    gpointer user_data;
    // "com.kavra.<application>", also the interface name.
    gchar *service;
    gchar *object_path;
    DBusConnection *connection;
    gboolean path_registered;
    gboolean owns_name;
    ulvo_rpc_cb_f default_cb;
    gpointer default_cb_data;
};

// Reads the value under `iter` into `value`; strings are copied when `copy`
// is TRUE, else borrowed from the message. FALSE, with `value` empty, for a
// type that a ulvo_rpc_t cannot hold.
gboolean ulvo_rpc_value_read(DBusMessageIter *iter, ulvo_rpc_t *value, gboolean copy);

// Appends `value` at `iter`. FALSE for an unsupported type, a missing string
// or one that is not valid UTF-8 (nothing is appended then).
gboolean ulvo_rpc_value_append(DBusMessageIter *iter, const ulvo_rpc_t *value);

// Removes what interrupted saves of the application's state left behind.
// Called once the context owns the application's name, so that no other
// instance can be saving at the same time.
void ulvo_state_remove_leftovers(const ulvo_context_t *context);

// The result code for a failed call's D-Bus error.
gint ulvo_rpc_code_for_error(const DBusError *error);

G_END_DECLS
