// Calls from the context to a small service that another thread runs.
#include "platform/ulvo.h"
#include "support/ui-test.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <string>

namespace
{

const char *const kEcho = "com.example.UlvoEcho";
const char *const kEchoPath = "/com/example/UlvoEcho";
const char *const kEchoXml = "<node><interface name='com.example.UlvoEcho'>"
                             "<method name='Join'><arg type='s'/><arg type='i'/>"
                             "<arg type='s' direction='out'/></method>"
                             "<method name='Describe'><arg type='u'/><arg type='b'/>"
                             "<arg type='d'/><arg type='s' direction='out'/></method>"
                             "<method name='Negate'><arg type='i'/>"
                             "<arg type='i' direction='out'/></method>"
                             "<method name='Refuse'><arg type='s'/></method>"
                             "<method name='Nothing'/>"
                             "</interface></node>";

void answer(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *method,
            GVariant *args, GDBusMethodInvocation *invocation, gpointer)
{
    const gchar *s = nullptr;
    gint32 i = 0;
    guint32 u = 0;
    gboolean b = FALSE;
    gdouble d = 0;
    gchar *text = nullptr;
    if (g_str_equal(method, "Join")) {
        g_variant_get(args, "(&si)", &s, &i);
        text = g_strdup_printf("%s:%d", s, i);
    } else if (g_str_equal(method, "Describe")) {
        g_variant_get(args, "(ubd)", &u, &b, &d);
        text = g_strdup_printf("%u %s %.2f", u, b ? "true" : "false", d);
    } else if (g_str_equal(method, "Negate")) {
        g_variant_get(args, "(i)", &i);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(i)", -i));
    } else if (g_str_equal(method, "Refuse")) {
        g_variant_get(args, "(&s)", &s);
        g_dbus_method_invocation_return_dbus_error(invocation, "com.example.UlvoEcho.Error.Busy",
                                                   s);
    } else {
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
    if (text)
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", text));
    g_free(text);
}

// The echo service on a connection and a main context of its own thread.
class EchoService
{
  public:
    EchoService() : thread_(g_thread_new("echo", &EchoService::run, this))
    {
        ulvo_test::pump_until([this] { return g_atomic_int_get(&state_) != 0; });
    }
    ~EchoService()
    {
        g_atomic_int_set(&stop_, 1);
        if (context_)
            g_main_context_wakeup(context_);
        g_thread_join(thread_);
    }
    bool ready() const { return g_atomic_int_get(&state_) == 1; }

  private:
    static gpointer run(gpointer self)
    {
        static_cast<EchoService *>(self)->serve();
        return nullptr;
    }
    void serve()
    {
        GMainContext *context = g_main_context_new();
        g_main_context_push_thread_default(context);
        gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        GDBusConnection *c =
            address ? g_dbus_connection_new_for_address_sync(
                          address,
                          GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                               G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                          nullptr, nullptr, nullptr)
                    : nullptr;
        GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(kEchoXml, nullptr);
        static const GDBusInterfaceVTable vtable = {answer, nullptr, nullptr, {}};
        guint id = c ? g_dbus_connection_register_object(c, kEchoPath, node->interfaces[0], &vtable,
                                                         nullptr, nullptr, nullptr)
                     : 0;
        GVariant *owner =
            id ? g_dbus_connection_call_sync(
                     c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                     "RequestName", g_variant_new("(su)", kEcho, 4u), G_VARIANT_TYPE("(u)"),
                     G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr)
               : nullptr;
        guint32 reply = 0;
        if (owner)
            g_variant_get(owner, "(u)", &reply);
        context_ = context;
        g_atomic_int_set(&state_, reply == 1 ? 1 : -1);
        while (!g_atomic_int_get(&stop_))
            g_main_context_iteration(context, TRUE);
        if (owner)
            g_variant_unref(owner);
        if (id)
            g_dbus_connection_unregister_object(c, id);
        if (c) {
            g_dbus_connection_close_sync(c, nullptr, nullptr);
            g_object_unref(c);
        }
        g_dbus_node_info_unref(node);
        g_free(address);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }

    GMainContext *context_ = nullptr;
    gint state_ = 0; // 1 serving, -1 failed
    gint stop_ = 0;
    GThread *thread_;
};

struct RpcTest : testing::Test {
    void SetUp() override
    {
        ASSERT_NE(g_getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run under dbus-run-session";
        ASSERT_TRUE(echo.ready());
        context = ulvo_initialize("ulvo_rpc_test", "0.1", TRUE, nullptr);
        ASSERT_NE(context, nullptr);
    }
    void TearDown() override
    {
        ulvo_rpc_free_val(&value);
        ulvo_deinitialize(context);
    }
    EchoService echo;
    ulvo_context_t *context = nullptr;
    ulvo_rpc_t value = {};
};

} // namespace

TEST_F(RpcTest, TypedArgumentsGoOutAndTheFirstReplyValueComesBack)
{
    ASSERT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Join", &value, DBUS_TYPE_STRING,
                           "card", DBUS_TYPE_INT32, 42, DBUS_TYPE_INVALID),
              ULVO_OK);
    ASSERT_EQ(value.type, DBUS_TYPE_STRING);
    EXPECT_STREQ(value.value.s, "card:42");
    ulvo_rpc_free_val(&value);

    ASSERT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Describe", &value, DBUS_TYPE_UINT32,
                           4000000000u, DBUS_TYPE_BOOLEAN, TRUE, DBUS_TYPE_DOUBLE, 2.5,
                           DBUS_TYPE_INVALID),
              ULVO_OK);
    EXPECT_STREQ(value.value.s, "4000000000 true 2.50");
    ulvo_rpc_free_val(&value);

    ASSERT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Negate", &value, DBUS_TYPE_INT32, -7,
                           DBUS_TYPE_INVALID),
              ULVO_OK);
    EXPECT_EQ(value.type, DBUS_TYPE_INT32);
    EXPECT_EQ(value.value.i, 7);

    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Nothing", &value, DBUS_TYPE_INVALID),
              ULVO_OK);
    EXPECT_EQ(value.type, DBUS_TYPE_INVALID);
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Nothing", nullptr, DBUS_TYPE_INVALID),
              ULVO_OK);
}

TEST_F(RpcTest, FailuresAreNegativeAndCarryTheirReason)
{
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Refuse", &value, DBUS_TYPE_STRING,
                           "in_use", DBUS_TYPE_INVALID),
              ULVO_ERROR_SERVICE_ERROR);
    ASSERT_EQ(value.type, DBUS_TYPE_STRING);
    EXPECT_STREQ(value.value.s, "in_use");
    ulvo_rpc_free_val(&value);

    EXPECT_EQ(ulvo_rpc_run(context, "com.example.NobodyHere", "/com/example/NobodyHere",
                           "com.example.NobodyHere", "Join", &value, DBUS_TYPE_INVALID),
              ULVO_ERROR_NO_SERVICE);
    ASSERT_EQ(value.type, DBUS_TYPE_STRING);
    EXPECT_NE(value.value.s[0], '\0');
    ulvo_rpc_free_val(&value);

    // Refused before anything is sent, and without taking the process down.
    ulvo_test::LogRecorder log("ulvo");
    EXPECT_EQ(ulvo_rpc_run(context, "com.kavra.ulvo_rpc_test", "/com/kavra/ulvo_rpc_test",
                           "com.kavra.ulvo_rpc_test", "ping", &value, DBUS_TYPE_INVALID),
              ULVO_ERROR_INVALID_PARAMS);
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Join", &value, DBUS_TYPE_STRING,
                           "caf\xe9", DBUS_TYPE_INT32, 1, DBUS_TYPE_INVALID),
              ULVO_ERROR_INVALID_PARAMS);
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Join", &value, DBUS_TYPE_ARRAY,
                           nullptr, DBUS_TYPE_INVALID),
              ULVO_ERROR_INVALID_PARAMS);
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, "no/slash", kEcho, "Join", &value, DBUS_TYPE_INVALID),
              ULVO_ERROR_INVALID_PARAMS);
    EXPECT_TRUE(log.contains("our own service")) << log.text();
    EXPECT_EQ(value.type, DBUS_TYPE_INVALID);
}
