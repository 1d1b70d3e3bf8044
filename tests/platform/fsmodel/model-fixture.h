// A file system model over the test HOME, and small readers of its rows.
#pragma once

#include "platform/fsmodel/kivel-file-system-model.h"
#include "platform/toolkit/kivel-locale.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace model_test
{

inline std::string uri_of(const std::string &path)
{
    return ulvo_test::file_uri(path);
}

inline std::string string_column(GtkTreeModel *model, GtkTreeIter *iter, int column)
{
    gchar *text = nullptr;
    gtk_tree_model_get(model, iter, column, &text, -1);
    std::string result = text ? text : "(null)";
    g_free(text);
    return result;
}

inline int int_column(GtkTreeModel *model, GtkTreeIter *iter, int column)
{
    gint value = -1;
    gtk_tree_model_get(model, iter, column, &value, -1);
    return value;
}

inline bool bool_column(GtkTreeModel *model, GtkTreeIter *iter, int column)
{
    gboolean value = FALSE;
    gtk_tree_model_get(model, iter, column, &value, -1);
    return value;
}

inline gint64 int64_column(GtkTreeModel *model, GtkTreeIter *iter, int column)
{
    gint64 value = -1;
    gtk_tree_model_get(model, iter, column, &value, -1);
    return value;
}

class ModelTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        kivel_locale_prefer_english();
        kivel_locale_bind_platform_catalogs();
        docs_ = ulvo_test::test_home() + "/MyDocs";
        tree_ = kivel_file_system_model_new(nullptr);
        model_ = KIVEL_FILE_SYSTEM_MODEL(tree_);
    }
    void TearDown() override { g_object_unref(tree_); }

    bool find(const std::string &uri, GtkTreeIter *iter)
    {
        return kivel_file_system_model_search_path(model_, uri.c_str(), iter, nullptr, TRUE);
    }

    // Loads the children of the folder at `path` and waits until they are in.
    bool load(const std::string &path, GtkTreeIter *folder)
    {
        if (!find(uri_of(path), folder))
            return false;
        kivel_file_system_model_load_children(model_, folder);
        return ulvo_test::pump_until(
            [&] { return kivel_file_system_model_children_loaded(model_, folder); });
    }

    // The names (column 2) of the children of `folder`, placeholder included.
    std::vector<std::string> child_names(GtkTreeIter *folder)
    {
        std::vector<std::string> names;
        GtkTreeIter child;
        for (bool ok = gtk_tree_model_iter_children(tree_, &child, folder); ok;
             ok = gtk_tree_model_iter_next(tree_, &child))
            names.push_back(string_column(tree_, &child, KIVEL_FILE_SYSTEM_MODEL_NAME));
        return names;
    }

    bool has_child_named(GtkTreeIter *folder, const std::string &name)
    {
        for (const std::string &n : child_names(folder))
            if (n == name)
                return true;
        return false;
    }

    std::string docs_;
    GtkTreeModel *tree_ = nullptr;
    KivelFileSystemModel *model_ = nullptr;
};

} // namespace model_test
