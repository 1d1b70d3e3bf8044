// Other desktop programs' "show in folder", through the command-line D-Bus
// tool as they would call it.
#include "app/file-manager1.h"
#include "browser-fixture.h"
#include "model/paths.h"
#include "support/fake-bus-service.h"

#include <vector>

using namespace browser_test;

namespace
{

struct ToolResult {
    bool ok = false;
    std::string error;
};

// Runs `gdbus call` on the interface without blocking the window's loop.
ToolResult call_file_manager(const char *method, const std::string &uri_array)
{
    std::string full = std::string(ULVO_FM_FILE_MANAGER1_NAME) + "." + method;
    GError *error = nullptr;
    GSubprocess *tool = g_subprocess_new(
        GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_SILENCE | G_SUBPROCESS_FLAGS_STDERR_PIPE),
        &error, "gdbus", "call", "--session", "--dest", ULVO_FM_FILE_MANAGER1_NAME, "--object-path",
        ULVO_FM_FILE_MANAGER1_PATH, "--method", full.c_str(), uri_array.c_str(), "", nullptr);
    ToolResult result;
    if (!tool) {
        result.error = error->message;
        g_error_free(error);
        return result;
    }
    bool done = false;
    gchar *err_text = nullptr;
    struct Wait {
        bool *done;
        gchar **err;
    } wait{&done, &err_text};
    g_subprocess_communicate_utf8_async(
        tool, nullptr, nullptr,
        [](GObject *source, GAsyncResult *res, gpointer data) {
            auto *w = static_cast<Wait *>(data);
            g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), res, nullptr, w->err,
                                                 nullptr);
            *w->done = true;
        },
        &wait);
    ulvo_test::pump_until([&] { return done; }, 20000);
    result.ok = done && g_subprocess_get_successful(tool);
    result.error = err_text ? err_text : "";
    g_free(err_text);
    g_object_unref(tool);
    return result;
}

std::vector<std::string> selected(UlvoFmBrowser *browser)
{
    std::vector<std::string> out;
    GSList *uris = kivel_file_selection_get_selected_uris(file_selection_of(browser));
    for (GSList *l = uris; l; l = l->next)
        out.push_back(static_cast<const char *>(l->data));
    ulvo_fm_free_texturi_list(uris);
    return out;
}

std::string name_owner(const char *name)
{
    GDBusConnection *c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GVariant *reply = g_dbus_connection_call_sync(
        c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
        g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
        nullptr);
    g_object_unref(c);
    if (!reply)
        return "";
    const gchar *owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    std::string out = owner;
    g_variant_unref(reply);
    return out;
}

} // namespace

TEST(FileManager1, ShowItemsOpensTheFolderWithTheItemsSelected)
{
    std::string folder = docs_dir() + "/Shared/Inbox";
    ulvo_test::make_dir(folder);
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        ulvo_test::write_file(folder + "/" + name, "x");
    ulvo_test::make_dir(docs_dir() + "/Other");
    ulvo_test::write_file(docs_dir() + "/Other/d.txt");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    ASSERT_TRUE(
        ulvo_test::pump_until([] { return !name_owner(ULVO_FM_FILE_MANAGER1_NAME).empty(); }));

    std::string a = file_uri(folder + "/a.txt"), c = file_uri(folder + "/c.txt");
    std::string d = file_uri(docs_dir() + "/Other/d.txt");
    ToolResult shown = call_file_manager("ShowItems", "['" + c + "','" + a + "','" + d + "']");
    ASSERT_TRUE(shown.ok) << shown.error;
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == file_uri(folder); }));
    // Items of another folder than the first one's are left out.
    EXPECT_TRUE(ulvo_test::pump_until([&] {
        return selected(browser) == std::vector<std::string>{a, c};
    }));

    // Bad requests are answered with an error and change nothing.
    for (const std::string &bad : {std::string("['not a uri']"), std::string("@as []"),
                                   "['" + file_uri(folder + "/gone.txt") + "']"}) {
        ToolResult refused = call_file_manager("ShowItems", bad);
        EXPECT_FALSE(refused.ok) << bad;
        EXPECT_NE(refused.error.find("Error"), std::string::npos) << refused.error;
    }
    EXPECT_EQ(current_folder(browser), file_uri(folder));

    ToolResult folders =
        call_file_manager("ShowFolders", "['" + file_uri(docs_dir() + "/Other") + "']");
    ASSERT_TRUE(folders.ok) << folders.error;
    EXPECT_TRUE(ulvo_test::pump_until(
        [&] { return current_folder(browser) == file_uri(docs_dir() + "/Other"); }));
}

TEST(FileManager1, TheNameIsNotTakenFromAnotherOwner)
{
    std::string other;
    {
        ulvo_test::FakeBusService holder({ULVO_FM_FILE_MANAGER1_NAME});
        ASSERT_TRUE(holder.owns_all());
        other = name_owner(ULVO_FM_FILE_MANAGER1_NAME);
        UlvoFmBrowser *browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        // Once the window's request has reached the bus it waits in the queue.
        GDBusConnection *c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        EXPECT_TRUE(ulvo_test::pump_until([&] {
            GVariant *reply = g_dbus_connection_call_sync(
                c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "ListQueuedOwners", g_variant_new("(s)", ULVO_FM_FILE_MANAGER1_NAME),
                G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            if (!reply)
                return false;
            GVariant *owners = g_variant_get_child_value(reply, 0);
            gsize queued = g_variant_n_children(owners);
            g_variant_unref(owners);
            g_variant_unref(reply);
            return queued == 2;
        }));
        g_object_unref(c);
        EXPECT_EQ(name_owner(ULVO_FM_FILE_MANAGER1_NAME), other);
    }
    // Free again: the window serves it.
    EXPECT_TRUE(ulvo_test::pump_until([&] {
        std::string owner = name_owner(ULVO_FM_FILE_MANAGER1_NAME);
        return !owner.empty() && owner != other;
    }));
}
