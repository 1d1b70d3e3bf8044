// The context's own service, seen from another connection on the session bus.
#include "platform/ulvo.h"
#include "support/ui-test.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <string>

namespace
{

const char *const kApp = "ulvo_test_app";
const char *const kService = "com.kavra.ulvo_test_app";
const char *const kPath = "/com/kavra/ulvo_test_app";

// A connection of its own, so that its calls go through the bus.
GDBusConnection *other_connection()
{
    EXPECT_NE(g_getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run under dbus-run-session";
    GError *error = nullptr;
    GDBusConnection *c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    EXPECT_NE(c, nullptr) << (error ? error->message : "");
    g_clear_error(&error);
    return c;
}

bool name_has_owner(GDBusConnection *c, const char *name)
{
    GVariant *reply = g_dbus_connection_call_sync(
        c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
        nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned;
}

// Counts holders of the GDK lock through the lock functions GDK calls.
GCallback real_lock, real_unlock;
int lock_depth;
void counted_lock()
{
    reinterpret_cast<void (*)()>(real_lock)();
    lock_depth++;
}
void counted_unlock()
{
    lock_depth--;
    reinterpret_cast<void (*)()>(real_unlock)();
}

struct Received {
    int calls = 0;
    std::string interface, method, arguments;
    bool lock_held = false;
    gint result = ULVO_OK;
    const char *answer = nullptr;
};

gint record_call(const gchar *interface, const gchar *method, GArray *arguments, gpointer data,
                 ulvo_rpc_t *retval)
{
    auto *r = static_cast<Received *>(data);
    r->calls++;
    r->interface = interface;
    r->method = method;
    r->lock_held = lock_depth > 0;
    r->arguments.clear();
    for (guint i = 0; i < arguments->len; i++) {
        const ulvo_rpc_t &v = g_array_index(arguments, ulvo_rpc_t, i);
        r->arguments += v.type == DBUS_TYPE_STRING  ? std::string("s:") + v.value.s
                        : v.type == DBUS_TYPE_INT32 ? "i:" + std::to_string(v.value.i)
                                                    : "t" + std::to_string(v.type);
        r->arguments += ";";
    }
    if (r->answer) {
        retval->type = DBUS_TYPE_STRING;
        retval->value.s = g_strdup(r->answer);
    }
    return r->result;
}

struct Reply {
    bool done = false;
    GVariant *value = nullptr;
    GError *error = nullptr;
    ~Reply()
    {
        if (value)
            g_variant_unref(value);
        g_clear_error(&error);
    }
};

void call_app(GDBusConnection *c, const char *interface, const char *method, GVariant *args,
              Reply *reply)
{
    g_dbus_connection_call(
        c, kService, kPath, interface, method, args, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
        [](GObject *source, GAsyncResult *result, gpointer data) {
            auto *r = static_cast<Reply *>(data);
            r->value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &r->error);
            r->done = true;
        },
        reply);
    ASSERT_TRUE(ulvo_test::pump_until([&] { return reply->done; }));
}

} // namespace

TEST(UlvoService, NameIsOwnedFromInitializeToDeinitialize)
{
    GDBusConnection *client = other_connection();
    ASSERT_NE(client, nullptr);
    ASSERT_FALSE(name_has_owner(client, kService));

    ulvo_context_t *context = ulvo_initialize(kApp, "0.1", TRUE, nullptr);
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(name_has_owner(client, kService));
    EXPECT_NE(ulvo_get_dbus_connection(context), nullptr);
    {
        ulvo_test::LogRecorder log("ulvo");
        EXPECT_EQ(ulvo_initialize(kApp, "0.1", TRUE, nullptr), nullptr);
        EXPECT_TRUE(log.contains("owned by another process")) << log.text();
        EXPECT_EQ(ulvo_initialize("bad/name", "0.1", TRUE, nullptr), nullptr);
    }
    EXPECT_TRUE(name_has_owner(client, kService)) << "a refused second start took the name";

    ulvo_deinitialize(context);
    EXPECT_FALSE(name_has_owner(client, kService));
    context = ulvo_initialize(kApp, "0.1", TRUE, nullptr);
    EXPECT_NE(context, nullptr) << "the name was not given back";
    ulvo_deinitialize(context);
    ulvo_deinitialize(nullptr);
    g_object_unref(client);
}

TEST(UlvoService, MethodCallsReachTheCallbackUnderTheGdkLock)
{
    GDBusConnection *client = other_connection();
    ASSERT_NE(client, nullptr);
    ulvo_context_t *context = ulvo_initialize(kApp, "0.1", TRUE, nullptr);
    ASSERT_NE(context, nullptr);
    {
        Reply unanswered;
        call_app(client, kService, "open_folder", g_variant_new("(s)", "file:///x"), &unanswered);
        EXPECT_NE(unanswered.error, nullptr) << "a call with no callback looked answered";
    }
    Received received;
    ASSERT_EQ(ulvo_rpc_set_default_cb_f(context, record_call, &received), ULVO_OK);

    real_lock = gdk_threads_lock;
    real_unlock = gdk_threads_unlock;
    gdk_threads_lock = G_CALLBACK(counted_lock);
    gdk_threads_unlock = G_CALLBACK(counted_unlock);
    lock_depth = 1; // the test body holds it

    Reply empty;
    call_app(client, kService, "open_folder", g_variant_new("(s)", "file:///home/u/MyDocs"),
             &empty);
    EXPECT_EQ(received.calls, 1);
    EXPECT_TRUE(received.lock_held);
    EXPECT_EQ(received.interface, kService);
    EXPECT_EQ(received.method, "open_folder");
    EXPECT_EQ(received.arguments, "s:file:///home/u/MyDocs;");
    ASSERT_NE(empty.value, nullptr) << empty.error->message;
    EXPECT_STREQ(g_variant_get_type_string(empty.value), "()");

    // No interface named; arguments of other types keep their places.
    received.answer = "pong";
    Reply valued;
    call_app(client, nullptr, "ping", g_variant_new("(^ayis)", "raw", 5, "x"), &valued);
    EXPECT_EQ(received.interface, kService);
    EXPECT_EQ(received.arguments, "t0;i:5;s:x;");
    ASSERT_NE(valued.value, nullptr) << valued.error->message;
    const gchar *text = nullptr;
    g_variant_get(valued.value, "(&s)", &text);
    EXPECT_STREQ(text, "pong");

    received.answer = "in_use";
    received.result = ULVO_ERROR;
    Reply refused;
    call_app(client, kService, "format", nullptr, &refused);
    ASSERT_NE(refused.error, nullptr);
    EXPECT_NE(std::string(refused.error->message).find("in_use"), std::string::npos);

    gdk_threads_lock = real_lock;
    gdk_threads_unlock = real_unlock;
    ulvo_deinitialize(context);
    g_object_unref(client);
}
