// The context's own service, seen from another connection on the session bus.
#include "platform/libulvo/ulvo.h"
#include "support/ui-test.h"

#include <dlfcn.h>
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

// Whether the GDK lock is held (only the main thread takes it here): GDK's own mutex, looked
// up in GDK itself (the program's copy of the variable may differ).
bool gdk_lock_held()
{
    void *gdk = dlopen("libgdk-x11-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    auto **mutex = gdk ? static_cast<GMutex **>(dlsym(gdk, "gdk_threads_mutex")) : nullptr;
    if (gdk)
        dlclose(gdk);
    if (!mutex || !*mutex)
        return false;
    if (!g_mutex_trylock(*mutex))
        return true;
    g_mutex_unlock(*mutex);
    return false;
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
    r->lock_held = gdk_lock_held();
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

// Sends a method call to the context's service (`interface` may be NULL) and
// waits for the answer: the reply's values as text, or "error: " and its text.
std::string call_app(GDBusConnection *c, const char *interface, const char *method, GVariant *args)
{
    GDBusMessage *message = g_dbus_message_new_method_call(kService, kPath, interface, method);
    if (args)
        g_dbus_message_set_body(message, args);
    // Lives until the answer: the call's own timeout comes before pump_until's.
    static std::string answer;
    answer.clear();
    g_dbus_connection_send_message_with_reply(
        c, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, 5000, nullptr, nullptr,
        [](GObject *source, GAsyncResult *result, gpointer) {
            GError *error = nullptr;
            GDBusMessage *reply = g_dbus_connection_send_message_with_reply_finish(
                G_DBUS_CONNECTION(source), result, &error);
            if (reply && !g_dbus_message_to_gerror(reply, &error)) {
                GVariant *body = g_dbus_message_get_body(reply);
                gchar *text = body ? g_variant_print(body, FALSE) : g_strdup("()");
                answer = text;
                g_free(text);
            } else {
                answer = std::string("error: ") + error->message;
                g_error_free(error);
            }
            if (reply)
                g_object_unref(reply);
        },
        nullptr);
    g_object_unref(message);
    EXPECT_TRUE(ulvo_test::pump_until([] { return !answer.empty(); }));
    return answer;
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
    EXPECT_EQ(call_app(client, kService, "open_folder", g_variant_new("(s)", "file:///x"))
                  .rfind("error: ", 0),
              0u)
        << "a call with no callback looked answered";
    Received received;
    ASSERT_EQ(ulvo_rpc_set_default_cb_f(context, record_call, &received), ULVO_OK);
    ASSERT_TRUE(gdk_lock_held()) << "the probe does not see the test body's lock";

    EXPECT_EQ(
        call_app(client, kService, "open_folder", g_variant_new("(s)", "file:///home/u/MyDocs")),
        "()");
    EXPECT_EQ(received.calls, 1);
    EXPECT_TRUE(received.lock_held);
    EXPECT_EQ(received.interface, kService);
    EXPECT_EQ(received.method, "open_folder");
    EXPECT_EQ(received.arguments, "s:file:///home/u/MyDocs;");

    // No interface named; arguments of other types keep their places.
    received.answer = "pong";
    EXPECT_EQ(call_app(client, nullptr, "ping", g_variant_new("(^ayis)", "raw", 5, "x")),
              "('pong',)");
    EXPECT_EQ(received.interface, kService);
    EXPECT_EQ(received.arguments, "t0;i:5;s:x;");

    received.answer = "in_use";
    received.result = ULVO_ERROR;
    EXPECT_NE(call_app(client, kService, "format", nullptr).find("in_use"), std::string::npos);
    EXPECT_EQ(received.calls, 3);

    ulvo_deinitialize(context);
    g_object_unref(client);
}
