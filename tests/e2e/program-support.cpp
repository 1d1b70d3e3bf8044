#include "program-support.h"

#include "support/ui-test.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace program_test
{

static const char *const BUS_NAME = "com.kavra.ulvo_filemanager";

GPid start_program(const std::string &ready_file)
{
    g_setenv("ULVO_FM_READY_FILE", ready_file.c_str(), TRUE);
    std::string path = std::string(ULVO_BUILD_DIR) + "/ulvo-filemanager";
    const gchar *argv[] = {path.c_str(), nullptr};
    GPid pid = 0;
    GError *error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD,
                       nullptr, nullptr, &pid, &error)) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        return 0;
    }
    return pid;
}

int await_exit_status(GPid pid, int timeout_ms)
{
    int status = -1;
    bool ended =
        ulvo_test::pump_until([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout_ms);
    return ended ? status : -1;
}

// (transfer full) (nullable) The reply of a synchronous call, or NULL.
static GVariant *call(const char *name, const char *path, const char *interface, const char *method,
                      GVariant *args)
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return nullptr;
    GVariant *reply = g_dbus_connection_call_sync(bus, name, path, interface, method, args, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    g_object_unref(bus);
    return reply;
}

bool await_bus_name_released(int timeout_ms)
{
    return ulvo_test::pump_until(
        [] {
            GVariant *reply =
                call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                     "NameHasOwner", g_variant_new("(s)", BUS_NAME));
            gboolean owned = TRUE;
            if (reply) {
                g_variant_get(reply, "(b)", &owned);
                g_variant_unref(reply);
            }
            return !owned;
        },
        timeout_ms);
}

bool call_program(const char *method)
{
    GVariant *reply = call(BUS_NAME, "/com/kavra/ulvo_filemanager", BUS_NAME, method, nullptr);
    if (reply)
        g_variant_unref(reply);
    return reply != nullptr;
}

std::string saved_state_file()
{
    gchar *path =
        g_build_filename(g_get_user_cache_dir(), "ulvo", "state", "ulvo_filemanager", nullptr);
    std::string out = path;
    g_free(path);
    return out;
}

void write_saved_state(const std::string &text)
{
    std::string path = saved_state_file();
    gchar *folder = g_path_get_dirname(path.c_str());
    ASSERT_EQ(g_mkdir_with_parents(folder, 0700), 0);
    g_free(folder);
    ASSERT_TRUE(g_file_set_contents(path.c_str(), text.data(), text.size(), nullptr));
}

std::string read_saved_state_file()
{
    gchar *contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(saved_state_file().c_str(), &contents, &length, nullptr))
        return "";
    std::string out(contents, length);
    g_free(contents);
    return out;
}

} // namespace program_test
