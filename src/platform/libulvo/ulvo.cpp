#define G_LOG_DOMAIN "ulvo"

#include "platform/libulvo/ulvo-context.h"
#include "vfs/glib-ptr.h"

#include <dbus/dbus-glib-lowlevel.h>
#include <gdk/gdk.h>
#include <memory>

static void close_private_connection(DBusConnection *connection)
{
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

static void context_free(ulvo_context_t *context)
{
    if (context->connection) {
        // Nothing may dispatch into a freed context, even if someone else
        // still holds a reference on the connection.
        if (context->path_registered)
            dbus_connection_unregister_object_path(context->connection, context->object_path);
        dbus_connection_flush(context->connection);
        close_private_connection(context->connection);
    }
    g_free(context->application);
    g_free(context->version);
    g_free(context->service);
    g_free(context->object_path);
    g_free(context);
}

namespace
{
struct ContextDeleter {
    void operator()(ulvo_context_t *context) const { context_free(context); }
};
using ContextPtr = std::unique_ptr<ulvo_context_t, ContextDeleter>;
} // namespace

using ulvo::GCharPtr;

static GArray *read_arguments(DBusMessage *message)
{
    GArray *arguments = g_array_new(FALSE, TRUE, sizeof(ulvo_rpc_t));
    DBusMessageIter iter;
    if (!dbus_message_iter_init(message, &iter))
        return arguments;
    do {
        ulvo_rpc_t value;
        ulvo_rpc_value_read(&iter, &value, FALSE);
        g_array_append_val(arguments, value);
    } while (dbus_message_iter_next(&iter));
    return arguments;
}

// (transfer full) NULL when out of memory
static DBusMessage *error_reply(DBusMessage *call, const ulvo_rpc_t *retval)
{
    if (retval->type == DBUS_TYPE_STRING && retval->value.s &&
        dbus_validate_utf8(retval->value.s, nullptr))
        return dbus_message_new_error(call, DBUS_ERROR_FAILED, retval->value.s);
    return dbus_message_new_error_printf(call, DBUS_ERROR_FAILED, "%s failed",
                                         dbus_message_get_member(call));
}

// (transfer full) NULL when out of memory
static DBusMessage *success_reply(DBusMessage *call, const ulvo_rpc_t *retval)
{
    DBusMessage *reply = dbus_message_new_method_return(call);
    if (!reply || retval->type == DBUS_TYPE_INVALID)
        return reply;
    DBusMessageIter iter;
    dbus_message_iter_init_append(reply, &iter);
    if (ulvo_rpc_value_append(&iter, retval))
        return reply;
    dbus_message_unref(reply);
    g_warning("The return value of %s (type %d) cannot be sent", dbus_message_get_member(call),
              retval->type);
    return dbus_message_new_error_printf(call, DBUS_ERROR_FAILED, "%s gave an unusable value",
                                         dbus_message_get_member(call));
}

static void send_reply(DBusConnection *connection, DBusMessage *call, gint result,
                       const ulvo_rpc_t *retval)
{
    if (dbus_message_get_no_reply(call))
        return;
    DBusMessage *reply =
        result == ULVO_OK ? success_reply(call, retval) : error_reply(call, retval);
    if (!reply || !dbus_connection_send(connection, reply, nullptr))
        g_warning("Cannot answer %s: out of memory", dbus_message_get_member(call));
    if (reply)
        dbus_message_unref(reply);
}

// Runs from a plain GLib source, without the GDK lock; the callback touches
// widgets, so it gets the lock for its call.
static DBusHandlerResult handle_message(DBusConnection *connection, DBusMessage *message,
                                        void *user_data)
{
    auto *context = static_cast<ulvo_context_t *>(user_data);
    if (dbus_message_get_type(message) != DBUS_MESSAGE_TYPE_METHOD_CALL || !context->default_cb)
        return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;

    const char *interface = dbus_message_get_interface(message);
    GArray *arguments = read_arguments(message);
    ulvo_rpc_t retval = {DBUS_TYPE_INVALID, {nullptr}};
    gdk_threads_enter();
    gint result = context->default_cb(interface ? interface : context->service,
                                      dbus_message_get_member(message), arguments,
                                      context->default_cb_data, &retval);
    gdk_threads_leave();
    g_array_free(arguments, TRUE);
    send_reply(connection, message, result, &retval);
    ulvo_rpc_free_val(&retval);
    return DBUS_HANDLER_RESULT_HANDLED;
}

static const DBusObjectPathVTable object_vtable = {nullptr, handle_message, nullptr,
                                                   nullptr, nullptr,        nullptr};

// A connection of our own: closing it at the end cannot break anyone.
// (transfer full) NULL, with a warning, when there is no session bus.
static DBusConnection *open_private_connection(void)
{
    DBusError error;
    dbus_error_init(&error);
    DBusConnection *connection = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!connection) {
        g_warning("Cannot connect to the session bus: %s", error.message);
        dbus_error_free(&error);
        return nullptr;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    return connection;
}

// The connection that owns a service name claimed before the context exists.
static DBusConnection *claimed_connection = nullptr;
static gchar *claimed_service = nullptr;

// (transfer full) the claimed connection when it owns `service`, else NULL.
static DBusConnection *take_claimed_connection(const gchar *service)
{
    if (!claimed_connection || g_strcmp0(service, claimed_service) != 0)
        return nullptr;
    DBusConnection *connection = claimed_connection;
    claimed_connection = nullptr;
    g_clear_pointer(&claimed_service, g_free);
    return connection;
}

// (transfer full)
static gchar *service_name(const gchar *application)
{
    return g_strconcat("com.kavra.", application, nullptr);
}

// (transfer full)
static gchar *object_path_of(const gchar *application)
{
    return g_strconcat("/com/kavra/", application, nullptr);
}

static gboolean connect_and_register(ulvo_context_t *context)
{
    context->connection = take_claimed_connection(context->service);
    if (!context->connection)
        context->connection = open_private_connection();
    if (!context->connection)
        return FALSE;
    DBusError error;
    dbus_error_init(&error);
    if (!dbus_connection_try_register_object_path(context->connection, context->object_path,
                                                  &object_vtable, context, &error)) {
        g_warning("Cannot register %s: %s", context->object_path, error.message);
        dbus_error_free(&error);
        return FALSE;
    }
    context->path_registered = TRUE;
    dbus_connection_setup_with_g_main(context->connection, nullptr);
    return TRUE;
}

static gboolean request_name(ulvo_context_t *context)
{
    DBusError error;
    dbus_error_init(&error);
    int reply = dbus_bus_request_name(context->connection, context->service,
                                      DBUS_NAME_FLAG_DO_NOT_QUEUE, &error);
    if (reply < 0) {
        g_warning("Cannot request the name %s: %s", context->service, error.message);
        dbus_error_free(&error);
        return FALSE;
    }
    // A claimed connection owns the name already.
    if (reply != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER &&
        reply != DBUS_REQUEST_NAME_REPLY_ALREADY_OWNER) {
        g_warning("The name %s is owned by another process: is %s running already?",
                  context->service, context->application);
        return FALSE;
    }
    context->owns_name = TRUE;
    return TRUE;
}

ulvo_context_t *ulvo_initialize(const gchar *application, const gchar *version, gboolean activation,
                                gpointer user_data)
{
    g_return_val_if_fail(application != nullptr, nullptr);

    ContextPtr context(g_new0(ulvo_context_t, 1));
    context->application = g_strdup(application);
    context->version = g_strdup(version);
    context->activation = activation;
    context->user_data = user_data;
    context->service = service_name(application);
    context->object_path = object_path_of(application);
    if (!dbus_validate_bus_name(context->service, nullptr) ||
        !dbus_validate_interface(context->service, nullptr) ||
        !dbus_validate_path(context->object_path, nullptr)) {
        g_warning("\"%s\" cannot be used as an application name on the bus", application);
        return nullptr;
    }
    if (!connect_and_register(context.get()) || !request_name(context.get()))
        return nullptr;
    ulvo_state_remove_leftovers(context.get());
    g_debug("%s %s is on the session bus as %s", application, version ? version : "",
            context->service);
    return context.release();
}

gint ulvo_claim_application(const gchar *application)
{
    g_return_val_if_fail(application != nullptr, ULVO_ERROR_INVALID_PARAMS);
    GCharPtr service(service_name(application));
    if (!dbus_validate_bus_name(service.get(), nullptr))
        return ULVO_ERROR_INVALID_PARAMS;
    if (claimed_connection && g_strcmp0(service.get(), claimed_service) == 0)
        return ULVO_OK;
    DBusConnection *connection = open_private_connection();
    if (!connection)
        return ULVO_ERROR_RPC_FAILED;

    DBusError error;
    dbus_error_init(&error);
    int reply =
        dbus_bus_request_name(connection, service.get(), DBUS_NAME_FLAG_DO_NOT_QUEUE, &error);
    if (reply == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        if (claimed_connection)
            close_private_connection(claimed_connection);
        g_free(claimed_service);
        claimed_connection = connection;
        claimed_service = service.release();
        return ULVO_OK;
    }
    if (reply < 0) {
        g_warning("Cannot request the name %s: %s", service.get(), error.message);
        dbus_error_free(&error);
    }
    close_private_connection(connection);
    return reply == DBUS_REQUEST_NAME_REPLY_EXISTS ? ULVO_ERROR_ALREADY_RUNNING : ULVO_ERROR;
}

gint ulvo_call_application(const gchar *application, const gchar *method, gint timeout_ms)
{
    g_return_val_if_fail(application != nullptr && method != nullptr, ULVO_ERROR_INVALID_PARAMS);
    GCharPtr service(service_name(application));
    GCharPtr path(object_path_of(application));
    if (!dbus_validate_bus_name(service.get(), nullptr) ||
        !dbus_validate_path(path.get(), nullptr) || !dbus_validate_member(method, nullptr))
        return ULVO_ERROR_INVALID_PARAMS;
    DBusConnection *connection = open_private_connection();
    if (!connection)
        return ULVO_ERROR_RPC_FAILED;
    DBusMessage *message =
        dbus_message_new_method_call(service.get(), path.get(), service.get(), method);
    gint code = ULVO_ERROR_RPC_FAILED;
    if (message) {
        DBusError error;
        dbus_error_init(&error);
        DBusMessage *reply =
            dbus_connection_send_with_reply_and_block(connection, message, timeout_ms, &error);
        code = reply ? ULVO_OK : ulvo_rpc_code_for_error(&error);
        if (reply)
            dbus_message_unref(reply);
        dbus_error_free(&error);
        dbus_message_unref(message);
    }
    close_private_connection(connection);
    return code;
}

void ulvo_deinitialize(ulvo_context_t *context)
{
    if (!context)
        return;
    if (context->owns_name && dbus_connection_get_is_connected(context->connection)) {
        // Released with a round trip, so the name is free when this returns.
        DBusError error;
        dbus_error_init(&error);
        if (dbus_bus_release_name(context->connection, context->service, &error) < 0) {
            g_warning("Cannot release the name %s: %s", context->service, error.message);
            dbus_error_free(&error);
        }
    }
    context_free(context);
}

DBusConnection *ulvo_get_dbus_connection(ulvo_context_t *context)
{
    g_return_val_if_fail(context != nullptr, nullptr);
    return context->connection;
}

gint ulvo_rpc_set_default_cb_f(ulvo_context_t *context, ulvo_rpc_cb_f callback, gpointer data)
{
    g_return_val_if_fail(context != nullptr, ULVO_ERROR_INVALID_PARAMS);
    context->default_cb = callback;
    context->default_cb_data = data;
    return ULVO_OK;
}
