#include "support/fake-bus-service.h"

namespace ulvo_test
{

static GDBusConnection *private_session_connection()
{
    gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!address)
        return nullptr;
    GDBusConnection *c = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_free(address);
    return c;
}

static bool request_name(GDBusConnection *c, const std::string &name)
{
    GVariant *reply = g_dbus_connection_call_sync(
        c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", name.c_str(), 4u /* do not queue */), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (!reply)
        return false;
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    return result == 1; // primary owner
}

FakeBusService::FakeBusService(const std::vector<std::string> &names)
{
    g_mutex_init(&lock_);
    connection_ = private_session_connection();
    if (!connection_)
        return;
    filter_id_ = g_dbus_connection_add_filter(connection_, filter, this, nullptr);
    owns_all_ = true;
    for (const std::string &name : names)
        owns_all_ = request_name(connection_, name) && owns_all_;
}

FakeBusService::~FakeBusService()
{
    if (connection_) {
        g_dbus_connection_remove_filter(connection_, filter_id_);
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }
    g_mutex_clear(&lock_);
}

// Runs in the connection's worker thread.
GDBusMessage *FakeBusService::filter(GDBusConnection *, GDBusMessage *message, gboolean incoming,
                                     gpointer self)
{
    if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
        return message;
    auto *service = static_cast<FakeBusService *>(self);
    std::string call = std::string(g_dbus_message_get_destination(message) ?: "") + " " +
                       (g_dbus_message_get_path(message) ?: "") + " " +
                       (g_dbus_message_get_interface(message) ?: "") + " " +
                       (g_dbus_message_get_member(message) ?: "");
    if (g_dbus_message_get_flags(message) & G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED)
        call += " [no-reply]";
    if (GVariant *body = g_dbus_message_get_body(message)) {
        for (gsize i = 0; i < g_variant_n_children(body); i++) {
            GVariant *arg = g_variant_get_child_value(body, i);
            call += " " + std::string(g_variant_is_of_type(arg, G_VARIANT_TYPE_STRING)
                                          ? g_variant_get_string(arg, nullptr)
                                          : "<not a string>");
            g_variant_unref(arg);
        }
    }
    g_mutex_lock(&service->lock_);
    service->calls_.push_back(call);
    g_mutex_unlock(&service->lock_);
    g_object_unref(message);
    return nullptr;
}

std::vector<std::string> FakeBusService::calls() const
{
    g_mutex_lock(&lock_);
    std::vector<std::string> out = calls_;
    g_mutex_unlock(&lock_);
    return out;
}

} // namespace ulvo_test
