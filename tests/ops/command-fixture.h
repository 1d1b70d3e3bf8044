// The delete, move and copy commands as a person runs them in the real
// window: items selected in the content pane, an entry of the context menu
// tapped, the question and the folder chooser answered, files checked on
// disk and texts read from the log as the program shows them.
#pragma once

#include "app/browser-fixture.h"
#include "app/ulvo-fm-app.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "xfer-fixture.h"

#include <deque>

namespace command_test
{

using ulvo_test::LogRecorder;
using ulvo_test::path_exists;
using ulvo_test::pump_until;
using ulvo_test::write_file;
using xfer_app_test::names_in;
using xfer_app_test::read_file;
using xfer_app_test::text;

inline std::string yes()
{
    return text("kivel-libs", "wdgt_bd_yes");
}

inline std::string no()
{
    return text("kivel-libs", "wdgt_bd_no");
}

inline std::string banner(const char *catalog, const char *id)
{
    return "banner: " + text(catalog, id);
}

// The folder chooser and the other dialogs that show now.
struct Showing {
    GtkWidget *chooser = nullptr;
    std::vector<GtkWidget *> notes;
};

inline Showing showing_dialogs()
{
    Showing out;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *l = toplevels; l; l = l->next) {
        auto *widget = GTK_WIDGET(l->data);
        if (!gtk_widget_get_mapped(widget) || !GTK_IS_DIALOG(widget))
            continue;
        if (KIVEL_IS_FILE_CHOOSER_DIALOG(widget))
            out.chooser = widget;
        else
            out.notes.push_back(widget);
    }
    g_list_free(toplevels);
    return out;
}

// Someone who looks at the screen every 10 ms while the holder lives.
class Person
{
  public:
    Person() { id_ = gdk_threads_add_timeout(10, look, this); }
    virtual ~Person() { g_source_remove(id_); }
    Person(const Person &) = delete;
    Person &operator=(const Person &) = delete;

  protected:
    virtual void act(const Showing &showing) = 0;

  private:
    static gboolean look(gpointer data)
    {
        static_cast<Person *>(data)->act(showing_dialogs());
        return TRUE;
    }
    guint id_ = 0;
};

// Acts once on the folder chooser each time a command runs it, taking the
// next step only when the chooser is asked again (or anew). While a note
// shows above it, it waits.
class ChooserPerson : public Person
{
  public:
    using Step = std::function<void(GtkWidget *chooser)>;

    explicit ChooserPerson(std::deque<Step> steps) : steps_(std::move(steps)) {}

    size_t left() const { return steps_.size(); }
    std::string title; // of the chooser last acted on

  protected:
    void act(const Showing &showing) override
    {
        if (!showing.chooser || !showing.notes.empty() || steps_.empty())
            return;
        const gchar *shown_title = gtk_window_get_title(GTK_WINDOW(showing.chooser));
        title = shown_title ? shown_title : "";
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(showing.chooser);
    }

  private:
    std::deque<Step> steps_;
};

// Taps `label` on every note that offers it; `first` runs just before.
class NotePerson : public Person
{
  public:
    explicit NotePerson(std::string label, std::function<void()> first = {})
        : label_(std::move(label)), first_(std::move(first))
    {
    }

    int taps = 0;

  protected:
    void act(const Showing &showing) override
    {
        for (GtkWidget *note : showing.notes) {
            GtkWidget *button = ulvo_test::find_button(note, label_);
            if (!button)
                continue;
            if (first_)
                first_();
            taps++;
            gtk_button_clicked(GTK_BUTTON(button));
            return;
        }
    }

  private:
    std::string label_;
    std::function<void()> first_;
};

// Runs `act` once, when the first dialog shows.
class FirstSightPerson : public Person
{
  public:
    explicit FirstSightPerson(std::function<void()> act) : act_(std::move(act)) {}
    bool seen = false;

  protected:
    void act(const Showing &showing) override
    {
        if (seen || (showing.notes.empty() && !showing.chooser))
            return;
        seen = true;
        act_();
    }

  private:
    std::function<void()> act_;
};

// Picks the folder `uri` and taps OK.
inline ChooserPerson::Step choose(const std::string &uri)
{
    return [uri](GtkWidget *chooser) {
        gtk_file_chooser_set_current_folder_uri(GTK_FILE_CHOOSER(chooser), uri.c_str());
        EXPECT_TRUE(notices_test::click(chooser, text("kivel-fm", "ckdg_bd_chooser_ok")));
    };
}

inline ChooserPerson::Step cancel()
{
    return [](GtkWidget *chooser) {
        EXPECT_TRUE(notices_test::click(chooser, text("kivel-fm", "ckdg_bd_chooser_cancel")));
    };
}

class CommandTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        docs = browser_test::docs_dir();
        // Reads every information note and closes it, as a person does.
        reader = std::make_unique<NotePerson>(
            text("kivel-common-strings", "sfil_ni_operation_failed_ok"));
    }

    void TearDown() override { reader.reset(); }

    // "" is the documents folder itself.
    std::string path(const std::string &relative) const
    {
        return relative.empty() ? docs : docs + "/" + relative;
    }
    std::string uri(const std::string &relative) const
    {
        return ulvo_test::file_uri(path(relative));
    }

    // Writes each file (relative path, contents) with its folders.
    void write_files(std::initializer_list<std::pair<std::string, std::string>> files)
    {
        for (const auto &[relative, contents] : files)
            write_file(path(relative), contents);
    }

    // Starts the window on the documents folder, then shows `relative`.
    void start(const std::string &relative)
    {
        browser = browser_test::start_browser();
        ASSERT_TRUE(browser_test::await_construction(browser));
        fs = browser_test::file_selection_of(browser);
        show(relative);
    }

    // Shows the folder as another program asks for it, and waits until its
    // items are listed.
    void show(const std::string &relative)
    {
        std::string folder = uri(relative);
        ASSERT_TRUE(browser_test::open_folder(folder));
        ASSERT_TRUE(pump_until([&] {
            GtkTreeIter row;
            return browser_test::current_folder(browser) == folder &&
                   kivel_file_selection_get_current_folder_iter(fs, &row) &&
                   kivel_file_system_model_children_loaded(model(), &row);
        })) << folder;
        kivel_file_selection_unselect_all(fs);
    }

    KivelFileSystemModel *model() const
    {
        GObject *m = nullptr;
        g_object_get(fs, "model", &m, NULL);
        g_object_unref(m); // the widget keeps it
        return KIVEL_FILE_SYSTEM_MODEL(m);
    }

    // Selects exactly these items of the current folder in the content pane.
    void select(std::initializer_list<std::string> relatives)
    {
        kivel_file_selection_unselect_all(fs);
        for (const std::string &item : relatives)
            ASSERT_TRUE(pump_until([&] {
                return kivel_file_selection_select_uri(fs, uri(item).c_str());
            })) << item;
        g_object_set(fs, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    }

    // Opens the context menu of the content pane and taps the entry
    // `label`, which must be shown. Returns when the command has returned.
    void tap(const std::string &label)
    {
        g_signal_emit_by_name(fs, "content-pane-context-menu");
        ASSERT_NE(global_ofm->popup_menu, nullptr) << "no menu for " << label;
        GtkWidget *entry = nullptr;
        GList *items = gtk_container_get_children(GTK_CONTAINER(global_ofm->popup_menu));
        for (GList *l = items; l && !entry; l = l->next) {
            GtkWidget *child = gtk_bin_get_child(GTK_BIN(l->data));
            if (GTK_IS_LABEL(child) && label == gtk_label_get_text(GTK_LABEL(child)))
                entry = GTK_WIDGET(l->data);
        }
        g_list_free(items);
        ASSERT_TRUE(entry && gtk_widget_get_visible(entry)) << label << " is not offered";
        gtk_menu_item_activate(GTK_MENU_ITEM(entry));
        after_command();
    }

    // Runs a wrapper of the menus as an edit window does for several items.
    void run(void (*wrapper)(GtkWidget *, gpointer))
    {
        wrapper(nullptr, nullptr);
        after_command();
    }

    void after_command()
    {
        operation_after_command = global_ofm->cur_operation;
        started = global_ofm->xfer_started;
    }

    std::string docs;
    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *fs = nullptr;
    gint operation_after_command = 0;
    gboolean started = FALSE;
    std::unique_ptr<NotePerson> reader;
};

} // namespace command_test
