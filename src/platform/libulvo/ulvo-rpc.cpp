#define G_LOG_DOMAIN "ulvo"

#include "platform/libulvo/ulvo-context.h"

#include <stdarg.h>
#include <string.h>

gboolean ulvo_rpc_value_read(DBusMessageIter *iter, ulvo_rpc_t *value, gboolean copy)
{
    value->type = DBUS_TYPE_INVALID;
    value->value.s = nullptr;
    switch (dbus_message_iter_get_arg_type(iter)) {
    case DBUS_TYPE_STRING: {
        const char *s = nullptr;
        dbus_message_iter_get_basic(iter, &s);
        value->value.s = copy ? g_strdup(s) : const_cast<gchar *>(s);
        break;
    }
    case DBUS_TYPE_INT32: {
        dbus_int32_t i = 0;
        dbus_message_iter_get_basic(iter, &i);
        value->value.i = i;
        break;
    }
    case DBUS_TYPE_UINT32: {
        dbus_uint32_t u = 0;
        dbus_message_iter_get_basic(iter, &u);
        value->value.u = u;
        break;
    }
    case DBUS_TYPE_BOOLEAN: {
        dbus_bool_t b = FALSE;
        dbus_message_iter_get_basic(iter, &b);
        value->value.b = b ? TRUE : FALSE;
        break;
    }
    case DBUS_TYPE_DOUBLE: {
        double d = 0;
        dbus_message_iter_get_basic(iter, &d);
        value->value.d = d;
        break;
    }
    default:
        return FALSE;
    }
    value->type = dbus_message_iter_get_arg_type(iter);
    return TRUE;
}

gboolean ulvo_rpc_value_append(DBusMessageIter *iter, const ulvo_rpc_t *value)
{
    switch (value->type) {
    case DBUS_TYPE_STRING: {
        // libdbus aborts the process on a string that is not UTF-8.
        const char *s = value->value.s;
        return s && dbus_validate_utf8(s, nullptr) &&
               dbus_message_iter_append_basic(iter, DBUS_TYPE_STRING, &s);
    }
    case DBUS_TYPE_INT32: {
        dbus_int32_t i = value->value.i;
        return dbus_message_iter_append_basic(iter, DBUS_TYPE_INT32, &i);
    }
    case DBUS_TYPE_UINT32: {
        dbus_uint32_t u = value->value.u;
        return dbus_message_iter_append_basic(iter, DBUS_TYPE_UINT32, &u);
    }
    case DBUS_TYPE_BOOLEAN: {
        dbus_bool_t b = value->value.b ? TRUE : FALSE;
        return dbus_message_iter_append_basic(iter, DBUS_TYPE_BOOLEAN, &b);
    }
    case DBUS_TYPE_DOUBLE: {
        double d = value->value.d;
        return dbus_message_iter_append_basic(iter, DBUS_TYPE_DOUBLE, &d);
    }
    default:
        return FALSE;
    }
}

void ulvo_rpc_free_val(ulvo_rpc_t *value)
{
    g_return_if_fail(value != nullptr);
    if (value->type == DBUS_TYPE_STRING)
        g_free(value->value.s);
    value->type = DBUS_TYPE_INVALID;
    value->value.s = nullptr;
}

// Takes the typed values of a call's variable arguments.
static gboolean append_arguments(DBusMessage *message, int type, va_list args)
{
    DBusMessageIter iter;
    dbus_message_iter_init_append(message, &iter);
    for (int position = 1; type != DBUS_TYPE_INVALID; type = va_arg(args, int), position++) {
        ulvo_rpc_t value = {type, {nullptr}};
        switch (type) {
        case DBUS_TYPE_STRING:
            value.value.s = va_arg(args, gchar *);
            break;
        case DBUS_TYPE_INT32:
            value.value.i = va_arg(args, gint32);
            break;
        case DBUS_TYPE_UINT32:
            value.value.u = va_arg(args, guint32);
            break;
        case DBUS_TYPE_BOOLEAN:
            value.value.b = va_arg(args, gboolean);
            break;
        case DBUS_TYPE_DOUBLE:
            value.value.d = va_arg(args, gdouble);
            break;
        default:
            // The size of the value is unknown: the list cannot be read on.
            g_warning("Argument %d of a call has the unsupported type %d", position, type);
            return FALSE;
        }
        if (!ulvo_rpc_value_append(&iter, &value)) {
            g_warning("Argument %d of a call cannot be sent (a string that is NULL or not UTF-8?)",
                      position);
            return FALSE;
        }
    }
    return TRUE;
}

static gboolean names_are_valid(const gchar *service, const gchar *object_path,
                                const gchar *interface, const gchar *method)
{
    return dbus_validate_bus_name(service, nullptr) && dbus_validate_path(object_path, nullptr) &&
           dbus_validate_interface(interface, nullptr) && dbus_validate_member(method, nullptr);
}

// The caller's main loop is the one that would answer, and it is busy waiting.
static gboolean is_own_service(ulvo_context_t *context, const gchar *service)
{
    return strcmp(service, context->service) == 0 ||
           g_strcmp0(service, dbus_bus_get_unique_name(context->connection)) == 0;
}

gint ulvo_rpc_code_for_error(const DBusError *error)
{
    if (dbus_error_has_name(error, DBUS_ERROR_SERVICE_UNKNOWN) ||
        dbus_error_has_name(error, DBUS_ERROR_NAME_HAS_NO_OWNER))
        return ULVO_ERROR_NO_SERVICE;
    if (dbus_error_has_name(error, DBUS_ERROR_NO_REPLY) ||
        dbus_error_has_name(error, DBUS_ERROR_TIMEOUT) ||
        dbus_error_has_name(error, DBUS_ERROR_TIMED_OUT))
        return ULVO_ERROR_TIMEOUT;
    if (dbus_error_has_name(error, DBUS_ERROR_DISCONNECTED) ||
        dbus_error_has_name(error, DBUS_ERROR_NO_MEMORY))
        return ULVO_ERROR_RPC_FAILED;
    return ULVO_ERROR_SERVICE_ERROR;
}

static void take_reply_value(DBusMessage *reply, ulvo_rpc_t *retval)
{
    DBusMessageIter iter;
    if (retval && dbus_message_iter_init(reply, &iter))
        ulvo_rpc_value_read(&iter, retval, TRUE);
}

gint ulvo_rpc_run(ulvo_context_t *context, const gchar *service, const gchar *object_path,
                  const gchar *interface, const gchar *method, ulvo_rpc_t *retval,
                  int first_arg_type, ...)
{
    if (retval) {
        retval->type = DBUS_TYPE_INVALID;
        retval->value.s = nullptr;
    }
    g_return_val_if_fail(context != nullptr, ULVO_ERROR_INVALID_PARAMS);
    g_return_val_if_fail(service && object_path && interface && method, ULVO_ERROR_INVALID_PARAMS);
    if (!names_are_valid(service, object_path, interface, method)) {
        g_warning("Cannot call %s.%s of %s at %s: malformed name", interface, method, service,
                  object_path);
        return ULVO_ERROR_INVALID_PARAMS;
    }
    if (is_own_service(context, service)) {
        g_warning("Refusing to call %s on our own service %s: the reply could never come", method,
                  service);
        return ULVO_ERROR_INVALID_PARAMS;
    }

    DBusMessage *message = dbus_message_new_method_call(service, object_path, interface, method);
    if (!message)
        return ULVO_ERROR_RPC_FAILED;
    va_list args;
    va_start(args, first_arg_type);
    gboolean appended = append_arguments(message, first_arg_type, args);
    va_end(args);
    if (!appended) {
        dbus_message_unref(message);
        return ULVO_ERROR_INVALID_PARAMS;
    }

    DBusError error;
    dbus_error_init(&error);
    DBusMessage *reply = dbus_connection_send_with_reply_and_block(context->connection, message,
                                                                   ULVO_RPC_TIMEOUT_MS, &error);
    dbus_message_unref(message);
    if (!reply) {
        gint code = ulvo_rpc_code_for_error(&error);
        g_debug("%s.%s of %s failed: %s: %s", interface, method, service, error.name,
                error.message);
        if (retval) {
            retval->type = DBUS_TYPE_STRING;
            retval->value.s =
                g_strdup(error.message && *error.message ? error.message : error.name);
        }
        dbus_error_free(&error);
        return code;
    }
    take_reply_value(reply, retval);
    dbus_message_unref(reply);
    return ULVO_OK;
}
