// A removable media service of the test's own on the private session bus,
// GConf keys set the way an administrator sets them, and a person who works
// through the dialogs that a memory card command runs.
#pragma once

#include "notices-fixture.h"
#include "platform/toolkit/kivel-locale.h"
#include "ui/memory-card.h"

#include <deque>
#include <gio/gio.h>
#include <mutex>
#include <string>
#include <vector>

namespace memory_card_test
{

struct Call {
    std::string path, interface, method, args;
};

// Answers on GDBus's worker thread, as the main thread blocks in the call.
class FakeKeRecv
{
  public:
    FakeKeRecv() : connection_(ulvo_test::serve_bus_name("com.kavra.ke_recv", answer, this)) {}
    ~FakeKeRecv()
    {
        if (connection_) {
            g_dbus_connection_close_sync(connection_, nullptr, nullptr);
            g_object_unref(connection_);
        }
    }
    bool ready() const { return connection_ != nullptr; }

    // An error reply with this text from now on; "" answers success.
    void refuse_with(const std::string &why)
    {
        std::lock_guard<std::mutex> hold(lock_);
        refusal_ = why;
    }

    std::vector<Call> calls() const
    {
        std::lock_guard<std::mutex> hold(lock_);
        return calls_;
    }

  private:
    static GDBusMessage *answer(GDBusConnection *c, GDBusMessage *call, gboolean incoming,
                                gpointer data)
    {
        auto *self = static_cast<FakeKeRecv *>(data);
        if (!incoming || g_dbus_message_get_message_type(call) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
            !g_str_has_prefix(g_dbus_message_get_path(call), "/com/kavra/ke_recv"))
            return call;
        GVariant *body = g_dbus_message_get_body(call);
        gchar *args = body ? g_variant_print(body, FALSE) : g_strdup("()");
        std::string refusal;
        {
            std::lock_guard<std::mutex> hold(self->lock_);
            self->calls_.push_back({g_dbus_message_get_path(call),
                                    g_dbus_message_get_interface(call),
                                    g_dbus_message_get_member(call), args});
            refusal = self->refusal_;
        }
        g_free(args);
        GDBusMessage *reply = refusal.empty()
                                  ? g_dbus_message_new_method_reply(call)
                                  : g_dbus_message_new_method_error_literal(
                                        call, "com.kavra.ke_recv.Error", refusal.c_str());
        g_dbus_connection_send_message(c, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
        g_object_unref(reply);
        g_object_unref(call);
        return nullptr;
    }

    GDBusConnection *connection_ = nullptr;
    mutable std::mutex lock_;
    std::vector<Call> calls_;
    std::string refusal_;
};

// Runs gconftool-2 with `args` against the daemon of the private bus.
inline bool gconftool(std::vector<const gchar *> argv)
{
    argv.insert(argv.begin(), "gconftool-2");
    argv.push_back(nullptr);
    gint status = -1;
    GError *error = nullptr;
    gboolean ran =
        g_spawn_sync(nullptr, const_cast<gchar **>(argv.data()), nullptr, G_SPAWN_SEARCH_PATH,
                     nullptr, nullptr, nullptr, nullptr, &status, &error);
    if (error)
        g_error_free(error);
    return ran && g_spawn_check_wait_status(status, nullptr);
}

inline GtkWidget *first_entry(GtkWidget *widget)
{
    if (GTK_IS_ENTRY(widget))
        return widget;
    GtkWidget *found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *l = children; l && !found; l = l->next)
            found = first_entry(GTK_WIDGET(l->data));
        g_list_free(children);
    }
    return found;
}

// Steps a person takes, one on each dialog showing in turn; what a step
// saw is kept for the test. A dialog left open once the steps are done is
// answered with notices_test::no_answer so that a fault fails, not hangs.
class Person
{
  public:
    using Step = std::function<void(GtkWidget *)>;

    explicit Person(std::vector<Step> steps) : steps_(steps.begin(), steps.end())
    {
        source_ = gdk_threads_add_timeout(20, tick, this);
    }
    ~Person() { g_source_remove(source_); }
    bool done() const { return steps_.empty(); }

    // Types `name` and taps OK.
    static Step types(const std::string &name)
    {
        return [name](GtkWidget *dialog) {
            GtkWidget *entry = first_entry(dialog);
            if (entry)
                gtk_entry_set_text(GTK_ENTRY(entry), name.c_str());
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        };
    }
    static Step answers(gint response)
    {
        return [response](GtkWidget *dialog) { gtk_dialog_response(GTK_DIALOG(dialog), response); };
    }

  private:
    static gboolean tick(gpointer data)
    {
        auto *self = static_cast<Person *>(data);
        GtkWidget *dialog = ulvo_test::find_showing_dialog();
        if (!dialog || !gtk_widget_get_mapped(dialog)) {
            self->idle_ticks_ = 0;
            return TRUE;
        }
        if (!self->steps_.empty()) {
            Step step = self->steps_.front();
            self->steps_.pop_front();
            step(dialog);
        } else if (++self->idle_ticks_ > 250) {
            gtk_dialog_response(GTK_DIALOG(dialog), notices_test::no_answer);
        }
        return TRUE;
    }

    std::deque<Step> steps_;
    guint source_ = 0;
    int idle_ticks_ = 0;
};

inline void expect_call(const Call &call, const std::string &method, const std::string &args)
{
    EXPECT_EQ(call.path, "/com/kavra/ke_recv/" + method);
    EXPECT_EQ(call.interface, "com.kavra.ke_recv");
    EXPECT_EQ(call.method, method);
    EXPECT_EQ(call.args, args);
}

class MemoryCardTest : public notices_test::NoticesTest
{
  protected:
    void SetUp() override
    {
        NoticesTest::SetUp();
        kivel_locale_prefer_english();
        kivel_locale_bind_platform_catalogs();
        ASSERT_TRUE(service.ready()) << "the fake removable media service has no bus name";
        fm_app_ctx = ulvo_initialize("ulvo_filemanager", "0.4.6", TRUE, nullptr);
        ASSERT_NE(fm_app_ctx, nullptr);
    }
    void TearDown() override
    {
        // The daemon outlives the test's bus unless told to go.
        if (gconf_started)
            gconftool({"--shutdown"});
        ulvo_deinitialize(fm_app_ctx);
        fm_app_ctx = nullptr;
        NoticesTest::TearDown();
    }

    // Sets a GConf key through the configuration daemon of the private bus.
    bool gconf_set(const std::string &key, const char *type, const std::string &value)
    {
        gconf_started = true;
        return gconftool({"--type", type, "--set", key.c_str(), value.c_str()});
    }

    FakeKeRecv service;
    bool gconf_started = false;
};

} // namespace memory_card_test
