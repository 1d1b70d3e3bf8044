// Transfers started as the commands start them, on the real window and file
// selection, with notes answered the way a person answers them and texts
// read from the log as the program shows them.
#pragma once

#include "ops/xfer-progress.h"
#include "ops/xfer.h"
#include "ui/notices-fixture.h"

#include <glib/gstdio.h>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace xfer_app_test
{

using ulvo_test::collect_label_text;
using ulvo_test::LogRecorder;
using ulvo_test::path_exists;
using ulvo_test::write_file;

inline std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline std::string text(const char *catalog, const char *id)
{
    return xfer_text(catalog, id);
}

// Names in a folder, "." and ".." left out, sorted.
inline std::vector<std::string> names_in(const std::string &folder)
{
    std::vector<std::string> names;
    GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
    for (const gchar *name; dir && (name = g_dir_read_name(dir));)
        names.push_back(name);
    if (dir)
        g_dir_close(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// Every file under `top` by its path below it, with its contents; folders
// end in "/".
inline std::map<std::string, std::string> tree_of(const std::string &top,
                                                  const std::string &below = "")
{
    std::map<std::string, std::string> tree;
    for (const std::string &name : names_in(top + "/" + below)) {
        std::string relative = below + name;
        std::string full = top + "/" + relative;
        if (g_file_test(full.c_str(), G_FILE_TEST_IS_DIR)) {
            tree[relative + "/"] = "";
            auto inner = tree_of(top, relative + "/");
            tree.insert(inner.begin(), inner.end());
        } else {
            tree[relative] = read_file(full);
        }
    }
    return tree;
}

inline void remove_tree(const std::string &top)
{
    if (!g_file_test(top.c_str(), G_FILE_TEST_IS_SYMLINK))
        for (const std::string &name : names_in(top))
            remove_tree(top + "/" + name);
    g_remove(top.c_str());
}

// Fills `top` with `folders` folders of `files` files each; returns one file
// of every folder, for watching the tree go.
inline std::vector<std::string> write_big_tree(const std::string &top, int folders, int files)
{
    std::vector<std::string> sample;
    for (int f = 0; f < folders; f++) {
        std::string folder = top + "/d" + std::to_string(f);
        for (int i = 0; i < files; i++)
            write_file(folder + "/f" + std::to_string(i), "old");
        sample.push_back(folder + "/f0");
    }
    return sample;
}

// How many of `paths` exist.
inline size_t count_existing(const std::vector<std::string> &paths)
{
    size_t n = 0;
    for (const std::string &p : paths)
        n += path_exists(p) ? 1 : 0;
    return n;
}

// Taps the button `label` of a showing dialog; false when none offers it.
inline bool tap_showing(const std::string &label)
{
    GtkWidget *button = nullptr;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *l = toplevels; l && !button; l = l->next) {
        auto *widget = GTK_WIDGET(l->data);
        if (GTK_IS_DIALOG(widget) && gtk_widget_get_mapped(widget))
            button = ulvo_test::find_button(widget, label);
    }
    g_list_free(toplevels);
    if (button)
        gtk_button_clicked(GTK_BUTTON(button));
    return button != nullptr;
}

// True while any dialog (note, question, chooser) shows.
inline bool dialog_showing()
{
    bool showing = false;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *l = toplevels; l; l = l->next)
        showing |= GTK_IS_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data));
    g_list_free(toplevels);
    return showing;
}

// A GList of new GFiles, as the commands pass them.
inline GList *files(const std::vector<std::string> &paths)
{
    GList *list = nullptr;
    for (const std::string &p : paths)
        list = g_list_append(list, g_file_new_for_path(p.c_str()));
    return list;
}

// Once a visible note whose text holds `fragment` shows, `act` runs on it.
// The note stays unanswered when none shows within 10 s (the test fails on
// what follows rather than hanging).
struct NoteWatch {
    std::string fragment;
    std::function<void(GtkWidget *)> act;
    int seen = 0;
    GtkWidget *last = nullptr;
};

inline gboolean poll_note(gpointer data)
{
    auto *watch = static_cast<NoteWatch *>(data);
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *l = toplevels; l; l = l->next) {
        auto *widget = GTK_WIDGET(l->data);
        if (!GTK_IS_DIALOG(widget) || !gtk_widget_get_mapped(widget) || widget == watch->last)
            continue;
        if (collect_label_text(widget).find(watch->fragment) == std::string::npos)
            continue;
        watch->last = widget;
        watch->seen++;
        watch->act(widget);
        break;
    }
    g_list_free(toplevels);
    return TRUE;
}

// Waits until the running transfer ended and its notice had time to show;
// false when it never ended.
inline bool await_transfer_end(bool with_notice = true)
{
    bool ended = ulvo_test::pump_until(
        [] {
            return global_ofm->xfer_callback_data_freed && global_ofm->cur_operation == OPER_NONE;
        },
        60000);
    // The deferred notice comes 100 ms after the end.
    if (with_notice)
        ulvo_test::pump_for(250);
    return ended;
}

class XferAppTest : public notices_test::NoticesTest
{
  protected:
    void SetUp() override
    {
        NoticesTest::SetUp();
        root = ulvo_test::test_home() + "/MyDocs/xfer";
        ulvo_test::make_dir(root + "/from");
        ulvo_test::make_dir(root + "/to");
    }

    void TearDown() override
    {
        for (auto &w : watches_)
            g_source_remove(w.first);
        watches_.clear();
        NoticesTest::TearDown();
    }

    std::string from(const std::string &name) const { return root + "/from/" + name; }
    std::string to(const std::string &name) const { return root + "/to/" + name; }

    // Answers every note that asks `fragment` with the button `label`.
    NoteWatch *answer(const std::string &fragment, const std::string &label)
    {
        return watch(fragment, [label](GtkWidget *note) { notices_test::click(note, label); });
    }

    NoteWatch *watch(const std::string &fragment, std::function<void(GtkWidget *)> act)
    {
        auto watch = std::make_unique<NoteWatch>();
        watch->fragment = fragment;
        watch->act = std::move(act);
        NoteWatch *raw = watch.get();
        guint id = gdk_threads_add_timeout(10, poll_note, raw);
        watches_.emplace_back(id, std::move(watch));
        return raw;
    }

    // Starts the transfer as a command does and waits for its end.
    void run(const std::vector<std::string> &sources, const std::vector<std::string> &targets,
             XferKind kind, int excluded = 0, bool with_notice = true)
    {
        global_ofm->cur_operation = kind == XFER_DELETE ? OPER_DELETE
                                    : kind == XFER_MOVE ? OPER_MOVE
                                                        : OPER_COPY;
        global_ofm->xfer_started = FALSE;
        GList *s = files(sources);
        GList *t = kind == XFER_DELETE ? nullptr : files(targets);
        xfer_uri(s, t, main_window(), kind, excluded, 0, 0);
        g_list_free(s);
        g_list_free(t);
        started = global_ofm->xfer_started;
        operation_while_running = global_ofm->cur_operation;
        ASSERT_TRUE(await_transfer_end(with_notice)) << "the transfer never ended";
    }

    std::string root;
    gboolean started = FALSE;
    gint operation_while_running = 0;

  private:
    std::vector<std::pair<guint, std::unique_ptr<NoteWatch>>> watches_;
};

} // namespace xfer_app_test
