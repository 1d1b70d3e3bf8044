// The application record set up as the browser sets it up: a shown window
// with a file selection on a real model over the test HOME, a selection
// record, and a selection-changed handler that marks it stale.
#pragma once

#include "model/app-record.h"
#include "model/selection-info.h"
#include "support/ui-test.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <glib/gstdio.h>
#include <string>
#include <vector>

namespace selection_record_test
{

inline std::string uri_of(const std::string &path)
{
    return ulvo_test::file_uri(path);
}

inline std::vector<std::string> strings_of(const GSList *list)
{
    std::vector<std::string> out;
    for (const GSList *l = list; l; l = l->next)
        out.push_back(static_cast<const char *>(l->data));
    return out;
}

class SelectionRecordTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        docs = ulvo_test::test_home() + "/MyDocs";
        global_ofm = g_new0(UlvoFmApp, 1);
        global_ofm->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(global_ofm->window), 640, 480);
        model_ = kivel_file_system_model_new(global_ofm->window);
        global_ofm->file_selection = GTK_WIDGET(
            g_object_new(KIVEL_TYPE_FILE_SELECTION, "model", model_, "edit-mode", TRUE, NULL));
        g_object_get(model_, "backend-object", &global_ofm->filesystem, NULL);
        global_ofm->selection_info = ulvo_fm_selection_info_new();
        global_ofm->cur_operation = OPER_NONE;
        g_signal_connect(global_ofm->file_selection, "selection-changed",
                         G_CALLBACK(on_selection_changed), nullptr);
        gtk_container_add(GTK_CONTAINER(global_ofm->window), global_ofm->file_selection);
        gtk_widget_show_all(global_ofm->window);
    }

    void TearDown() override
    {
        gtk_widget_destroy(global_ofm->window);
        ulvo_fm_selection_info_free(global_ofm->selection_info);
        if (global_ofm->filesystem)
            g_object_unref(global_ofm->filesystem);
        g_object_unref(model_);
        g_free(global_ofm);
        global_ofm = nullptr;
    }

    // What the browser does when the selection changes.
    static void on_selection_changed(KivelFileSelection *, gpointer)
    {
        ulvo_fm_selection_info_mark_stale(global_ofm->selection_info);
        ulvo_fm_invalidate_selection_state();
    }

    KivelFileSelection *fs() const { return KIVEL_FILE_SELECTION(global_ofm->file_selection); }
    KivelFileSystemModel *model() const { return KIVEL_FILE_SYSTEM_MODEL(model_); }
    UlvoFmSelectionInfo *info() const { return global_ofm->selection_info; }

    // Makes `path` the current folder once the model has it, and waits until
    // the content pane lists `count` items.
    void enter(const std::string &path, int count)
    {
        std::string uri = uri_of(path);
        GtkTreeIter iter;
        ASSERT_TRUE(ulvo_test::pump_until([&] {
            return kivel_file_system_model_load_path(model(), uri.c_str(), &iter) != FALSE;
        })) << "the model never had "
            << uri;
        GError *error = nullptr;
        ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs(), uri.c_str(), &error))
            << (error ? error->message : "");
        ASSERT_TRUE(ulvo_test::pump_until([&] {
            return kivel_file_selection_get_content_count(fs()) == count;
        })) << uri
            << " lists " << kivel_file_selection_get_content_count(fs()) << " items, not " << count;
        // The focused view is the active pane: a late keyboard focus for the
        // window then changes nothing.
        g_object_set(fs(), "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    }

    // Selects exactly the items of the current folder at these paths.
    void select_only(const std::vector<std::string> &paths)
    {
        kivel_file_selection_unselect_all(fs());
        for (const std::string &path : paths)
            ASSERT_TRUE(kivel_file_selection_select_uri(fs(), uri_of(path).c_str())) << path;
    }

    // A refresh that must succeed.
    void refresh(gint check_readonly)
    {
        ASSERT_TRUE(ulvo_fm_update_selection_info(info(), fs(), check_readonly));
        ASSERT_FALSE(info()->stale);
    }

    UlvoFmSelectionInfoType type() const
    {
        return ulvo_fm_selection_info_get_selection_type(info());
    }

    std::string docs;
    GtkTreeModel *model_ = nullptr;
};

} // namespace selection_record_test
