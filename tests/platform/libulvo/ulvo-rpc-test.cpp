// Calls from the context to a small service that another thread runs.
#include "platform/libulvo/ulvo.h"
#include "support/ui-test.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <string>

namespace
{

const char *const kEcho = "com.example.UlvoEcho";
const char *const kEchoPath = "/com/example/UlvoEcho";

// Answers on GDBus's worker thread, so the main thread may block in the call:
// "Echo" with its arguments in text, "Count" with their number, "Refuse"
// with an error whose text is its argument, anything else with nothing.
GDBusMessage *answer(GDBusConnection *c, GDBusMessage *call, gboolean incoming, gpointer)
{
    if (!incoming || g_dbus_message_get_message_type(call) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
        g_strcmp0(g_dbus_message_get_path(call), kEchoPath) != 0)
        return call;
    const gchar *method = g_dbus_message_get_member(call);
    GVariant *args = g_dbus_message_get_body(call);
    GDBusMessage *reply;
    if (g_str_equal(method, "Refuse")) {
        const gchar *why = nullptr;
        g_variant_get_child(args, 0, "&s", &why);
        reply = g_dbus_message_new_method_error_literal(call, "com.example.Error.Busy", why);
    } else {
        reply = g_dbus_message_new_method_reply(call);
        if (g_str_equal(method, "Echo")) {
            gchar *text = g_variant_print(args, TRUE);
            g_dbus_message_set_body(reply, g_variant_new("(s)", text));
            g_free(text);
        } else if (g_str_equal(method, "Count")) {
            g_dbus_message_set_body(
                reply, g_variant_new("(i)", args ? gint(g_variant_n_children(args)) : 0));
        }
    }
    g_dbus_connection_send_message(c, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    g_object_unref(reply);
    g_object_unref(call);
    return nullptr;
}

// The echo service on a bus connection of its own.
class EchoService
{
  public:
    EchoService() : connection_(ulvo_test::serve_bus_name(kEcho, answer, nullptr)) {}
    ~EchoService()
    {
        if (connection_) {
            g_dbus_connection_close_sync(connection_, nullptr, nullptr);
            g_object_unref(connection_);
        }
    }
    bool ready() const { return connection_ != nullptr; }

  private:
    GDBusConnection *connection_ = nullptr;
};

struct UlvoRpc : testing::Test {
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

TEST_F(UlvoRpc, TypedArgumentsGoOutAndTheFirstReplyValueComesBack)
{
    ASSERT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Echo", &value, DBUS_TYPE_STRING,
                           "card", DBUS_TYPE_INT32, -42, DBUS_TYPE_INVALID),
              ULVO_OK);
    ASSERT_EQ(value.type, DBUS_TYPE_STRING);
    EXPECT_STREQ(value.value.s, "('card', -42)");
    ulvo_rpc_free_val(&value);

    ASSERT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Echo", &value, DBUS_TYPE_UINT32,
                           4000000000u, DBUS_TYPE_BOOLEAN, TRUE, DBUS_TYPE_DOUBLE, 2.5,
                           DBUS_TYPE_INVALID),
              ULVO_OK);
    EXPECT_STREQ(value.value.s, "(uint32 4000000000, true, 2.5)");
    ulvo_rpc_free_val(&value);

    ASSERT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Count", &value, DBUS_TYPE_STRING, "",
                           DBUS_TYPE_STRING, "b", DBUS_TYPE_INVALID),
              ULVO_OK);
    EXPECT_EQ(value.type, DBUS_TYPE_INT32);
    EXPECT_EQ(value.value.i, 2);

    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Nothing", &value, DBUS_TYPE_INVALID),
              ULVO_OK);
    EXPECT_EQ(value.type, DBUS_TYPE_INVALID);
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Nothing", nullptr, DBUS_TYPE_INVALID),
              ULVO_OK);
}

TEST_F(UlvoRpc, FailuresAreNegativeAndCarryTheirReason)
{
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Refuse", &value, DBUS_TYPE_STRING,
                           "in_use", DBUS_TYPE_INVALID),
              ULVO_ERROR_SERVICE_ERROR);
    ASSERT_EQ(value.type, DBUS_TYPE_STRING);
    EXPECT_STREQ(value.value.s, "in_use");
    ulvo_rpc_free_val(&value);

    EXPECT_EQ(ulvo_rpc_run(context, "com.example.NobodyHere", "/com/example/NobodyHere",
                           "com.example.NobodyHere", "Echo", &value, DBUS_TYPE_INVALID),
              ULVO_ERROR_NO_SERVICE);
    ASSERT_EQ(value.type, DBUS_TYPE_STRING);
    EXPECT_NE(value.value.s[0], '\0');
    ulvo_rpc_free_val(&value);

    // Refused before anything is sent, and without taking the process down.
    ulvo_test::LogRecorder log("ulvo");
    EXPECT_EQ(ulvo_rpc_run(context, "com.kavra.ulvo_rpc_test", "/com/kavra/ulvo_rpc_test",
                           "com.kavra.ulvo_rpc_test", "ping", &value, DBUS_TYPE_INVALID),
              ULVO_ERROR_INVALID_PARAMS);
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Echo", &value, DBUS_TYPE_STRING,
                           "caf\xe9", DBUS_TYPE_INT32, 1, DBUS_TYPE_INVALID),
              ULVO_ERROR_INVALID_PARAMS);
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, kEchoPath, kEcho, "Echo", &value, DBUS_TYPE_ARRAY,
                           nullptr, DBUS_TYPE_INVALID),
              ULVO_ERROR_INVALID_PARAMS);
    EXPECT_EQ(ulvo_rpc_run(context, kEcho, "no/slash", kEcho, "Echo", &value, DBUS_TYPE_INVALID),
              ULVO_ERROR_INVALID_PARAMS);
    EXPECT_TRUE(log.contains("our own service")) << log.text();
    EXPECT_EQ(value.type, DBUS_TYPE_INVALID);
}
