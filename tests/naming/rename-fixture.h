// The rename command run from the menu on the real file selection, with a
// person who types into the rename dialog each time it shows.
#pragma once

#include "app/ulvo-fm-app.h"
#include "ops/xfer.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "ui/notices-fixture.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace rename_test
{

using ulvo_test::LogRecorder;
using ulvo_test::path_exists;
using ulvo_test::write_file;

inline std::string text(const char *catalog, const char *id)
{
    return dcgettext(catalog, id, LC_MESSAGES);
}

inline std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Enough of a JPEG for its content to tell it is an image.
inline std::string jpeg(const std::string &tag)
{
    return std::string("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11) + tag;
}

// What the person does when the dialog shows: types `name`, then gives the
// responses in order.
struct Answer {
    std::string name;
    std::vector<gint> responses = {GTK_RESPONSE_OK};
};

// The person at the dialog, and what they saw.
struct Person {
    std::vector<Answer> answers;
    GtkWidget *dialog = nullptr;
    size_t shown = 0; // times the dialog was run
    size_t acted = 0;
    std::vector<std::string> titles;
    std::vector<std::string> offered; // the name in the entry when it showed
    std::vector<std::string> typed;   // the name in the entry once typed
};

inline GtkWidget *find_entry(GtkWidget *widget)
{
    if (GTK_IS_ENTRY(widget))
        return widget;
    if (!GTK_IS_CONTAINER(widget))
        return nullptr;
    GtkWidget *found = nullptr;
    GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList *l = children; l && !found; l = l->next)
        found = find_entry(GTK_WIDGET(l->data));
    g_list_free(children);
    return found;
}

inline GtkWidget *showing_rename_dialog()
{
    GtkWidget *found = nullptr;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *l = toplevels; l && !found; l = l->next)
        if (KIVEL_IS_FILE_CHOOSER_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data)))
            found = GTK_WIDGET(l->data);
    g_list_free(toplevels);
    return found;
}

inline gboolean person_acts(gpointer data)
{
    auto *person = static_cast<Person *>(data);
    if (!person->dialog) {
        GtkWidget *dialog = showing_rename_dialog();
        if (!dialog)
            return TRUE;
        person->dialog = dialog;
        person->shown = 1;
        g_object_add_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer *>(&person->dialog));
        g_signal_connect_swapped(dialog, "show", G_CALLBACK(+[](Person *p) { p->shown++; }),
                                 person);
    }
    if (person->shown <= person->acted)
        return TRUE;
    GtkWidget *dialog = person->dialog;
    GtkWidget *entry = find_entry(dialog);
    person->titles.push_back(gtk_window_get_title(GTK_WINDOW(dialog)));
    person->offered.push_back(entry ? gtk_entry_get_text(GTK_ENTRY(entry)) : "");
    if (person->acted >= person->answers.size()) {
        // More runs than answers: the test sees it in `shown`.
        person->acted++;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        return TRUE;
    }
    const Answer &answer = person->answers[person->acted++];
    if (entry) {
        gtk_entry_set_text(GTK_ENTRY(entry), answer.name.c_str());
        person->typed.push_back(gtk_entry_get_text(GTK_ENTRY(entry)));
    }
    for (gint response : answer.responses)
        if (person->dialog)
            gtk_dialog_response(GTK_DIALOG(dialog), response);
    return TRUE;
}

class RenameTest : public notices_test::NoticesTest
{
  protected:
    void SetUp() override
    {
        NoticesTest::SetUp();
        // The browser's own selection: a tap selects one item.
        g_object_set(fs(), "edit-mode", FALSE, NULL);
        folder = docs + "/rename";
        ulvo_test::make_dir(folder);
    }

    void TearDown() override
    {
        if (person_source_)
            g_source_remove(person_source_);
        NoticesTest::TearDown();
    }

    // Renames what `path` (in the current folder) names, the person giving
    // `answers`, and waits until whatever the command started has ended.
    void rename_item(const std::string &path, std::vector<Answer> answers)
    {
        select_only({path});
        rename_selection(std::move(answers));
    }

    void rename_selection(std::vector<Answer> answers)
    {
        if (person_source_)
            g_source_remove(person_source_);
        person = Person();
        person.answers = std::move(answers);
        person_source_ = gdk_threads_add_timeout(20, person_acts, &person);
        global_ofm->xfer_callback_data_freed = FALSE;
        on_menu_file_rename_activate(nullptr, global_ofm);
        if (global_ofm->xfer_started) {
            ASSERT_TRUE(ulvo_test::pump_until([] {
                return global_ofm->xfer_callback_data_freed &&
                       global_ofm->cur_operation == OPER_NONE;
            })) << "the rename never ended";
        }
        EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
        g_source_remove(person_source_);
        person_source_ = 0;
    }

    bool selected_only(const std::string &path)
    {
        return ulvo_test::pump_until([&] {
            GSList *uris = kivel_file_selection_get_selected_uris(fs());
            bool only =
                uris && !uris->next &&
                selection_record_test::uri_of(path) == static_cast<const char *>(uris->data);
            g_slist_free_full(uris, g_free);
            return only;
        });
    }

    std::string folder;
    Person person;

  private:
    guint person_source_ = 0;
};

} // namespace rename_test
