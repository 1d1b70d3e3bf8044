// A file selection on a real model in a shown window, over real folders in
// the test HOME, with helpers to read what the content pane shows.
#pragma once

#include "platform/selection/kivel-file-selection.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <array>
#include <string>
#include <vector>

namespace selection_test
{

// (The canonical text URI of a local path.)
std::string uri_of(const std::string &path);

// Records the widget's signals in the order they come.
struct SignalLog {
    std::vector<std::string> names;
    int count(const std::string &name) const;
    void clear() { names.clear(); }
};

// Whether row `row` of `view` is laid out where a pointer at the middle of
// its cell `area` finds it.
bool row_laid_out(GtkTreeView *view, int row, GdkRectangle *area);

class SelectionTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the widget (once); `edit_mode` gives multiple selection.
    void build(bool edit_mode = false);
    KivelFileSelection *fs() const { return KIVEL_FILE_SELECTION(widget_); }
    GtkTreeView *content_view() const;
    KivelFileSystemModel *model() const { return KIVEL_FILE_SYSTEM_MODEL(model_); }

    // The folder ~/MyDocs/<name> made on disk, with its URI.
    std::string folder(const std::string &name);
    // Waits until the model has a row for `path`, then makes it current.
    void enter(const std::string &path);
    // Waits until the content pane lists exactly `n` items.
    bool await_count(int n, int timeout_ms = 10000);

    // What the content pane shows, top to bottom: the names.
    std::vector<std::string> names() const;
    // The text of another column ("date" or "size") of row `row`.
    std::string column_text(int column, int row) const;
    std::string name_at(int row) const;
    // (transfer none) The icon row `row` shows.
    GdkPixbuf *icon_at(int row) const;
    // The row showing `name`, or -1.
    int row_of(const std::string &name) const;
    // Presses mouse `button` on row `row`, `after_ms` after the last event
    // (a second press within the double-click time is a double click).
    void press_row(int row, guint button, guint32 after_ms = 5000);
    void release_row(int row, guint button);
    std::vector<std::string> selected_uris() const;

    SignalLog log;
    std::array<std::pair<SignalLog *, const char *>, 6> slots_;
    std::string docs;
    GtkTreeModel *model_ = nullptr;
    GtkWidget *window_ = nullptr;
    GtkWidget *widget_ = nullptr;
    guint32 event_time_ = 1000;
};

} // namespace selection_test
