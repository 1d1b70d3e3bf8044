// The application record with a real file system model and file selection
// in a shown window, over the test HOME, as the program builds them.
#pragma once

#include "model/app-record.h"
#include "platform/toolkit/kivel-locale.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace model_test
{

inline std::string uri_of(const std::string &path)
{
    return ulvo_test::file_uri(path);
}

// Takes a g_free'd string; "(null)" for NULL.
inline std::string take(gchar *text)
{
    std::string result = text ? text : "(null)";
    g_free(text);
    return result;
}

inline void set_mode(const std::string &path, mode_t mode)
{
    ASSERT_EQ(0, chmod(path.c_str(), mode)) << path;
}

class AppModelTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        kivel_locale_prefer_english();
        kivel_locale_bind_platform_catalogs();
        docs = ulvo_test::test_home() + "/MyDocs";
        model = kivel_file_system_model_new(nullptr);
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_default_size(GTK_WINDOW(window), 640, 480);
        selection = GTK_WIDGET(g_object_new(KIVEL_TYPE_FILE_SELECTION, "model", model, NULL));
        gtk_container_add(GTK_CONTAINER(window), selection);
        gtk_widget_show_all(window);

        global_ofm = g_new0(UlvoFmApp, 1);
        global_ofm->window = window;
        global_ofm->file_selection = selection;
        global_ofm->main_file_selection = selection;
        g_object_get(model, "backend-object", &global_ofm->filesystem, NULL);
        global_ofm->selection_info = g_new0(UlvoFmSelectionInfo, 1);
    }

    void TearDown() override
    {
        gtk_widget_destroy(window);
        g_object_unref(global_ofm->filesystem);
        g_free(global_ofm->selection_info);
        g_free(global_ofm);
        global_ofm = nullptr;
        g_object_unref(model);
    }

    KivelFileSystemModel *fs_model() const { return KIVEL_FILE_SYSTEM_MODEL(model); }
    KivelFileSelection *fs() const { return KIVEL_FILE_SELECTION(selection); }

    // Waits until the model has a row for the local `path` and has listed
    // its folder whole: a row on the way can come ahead of its siblings.
    bool await_row(const std::string &path, GtkTreeIter *iter = nullptr)
    {
        GtkTreeIter row, parent;
        GtkTreeIter *out = iter ? iter : &row;
        std::string uri = uri_of(path);
        return ulvo_test::pump_until([&] {
            return kivel_file_system_model_load_path(fs_model(), uri.c_str(), out) &&
                   (!gtk_tree_model_iter_parent(model, &parent, out) ||
                    kivel_file_system_model_children_loaded(fs_model(), &parent));
        });
    }

    // Makes the local folder `path` the current one, its items loaded.
    void enter(const std::string &path)
    {
        GtkTreeIter folder;
        ASSERT_TRUE(await_row(path, &folder)) << "the model never had " << path;
        kivel_file_system_model_load_children(fs_model(), &folder);
        ASSERT_TRUE(ulvo_test::pump_until(
            [&] { return kivel_file_system_model_children_loaded(fs_model(), &folder); }));
        GError *error = nullptr;
        ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs(), uri_of(path).c_str(), &error))
            << (error ? error->message : "");
    }

    std::string docs;
    GtkTreeModel *model = nullptr;
    GtkWidget *window = nullptr;
    GtkWidget *selection = nullptr;
};

} // namespace model_test
