#include "platform/selection/selection-fixture.h"

#include <gio/gio.h>

using namespace ulvo_test;

namespace selection_test
{

std::string uri_of(const std::string &path)
{
    GFile *file = g_file_new_for_path(path.c_str());
    gchar *uri = g_file_get_uri(file);
    std::string result = uri;
    g_free(uri);
    g_object_unref(file);
    return result;
}

int SignalLog::count(const std::string &name) const
{
    int n = 0;
    for (const auto &seen : names)
        n += seen == name;
    return n;
}

static void record(KivelFileSelection *, gpointer data)
{
    auto entry = static_cast<std::pair<SignalLog *, const char *> *>(data);
    entry->first->names.push_back(entry->second);
}

static void record_notify(GObject *, GParamSpec *, gpointer data)
{
    static_cast<SignalLog *>(data)->names.push_back("notify::active-pane");
}

void SelectionTest::SetUp()
{
    docs = test_home() + "/MyDocs";
    model_ = kivel_file_system_model_new(nullptr);
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window_), 640, 480);
}

void SelectionTest::TearDown()
{
    gtk_widget_destroy(window_);
    g_object_unref(model_);
}

void SelectionTest::build(bool edit_mode)
{
    widget_ = GTK_WIDGET(
        g_object_new(KIVEL_TYPE_FILE_SELECTION, "model", model_, "edit-mode", edit_mode, nullptr));
    static const char *const names[] = {
        "selection-changed", "current-folder-changed",       "folder-activated",
        "file-activated",    "navigation-pane-context-menu", "content-pane-context-menu"};
    for (size_t i = 0; i < slots_.size(); i++) {
        slots_[i] = {&log, names[i]};
        g_signal_connect(widget_, names[i], G_CALLBACK(record), &slots_[i]);
    }
    g_signal_connect(widget_, "notify::active-pane", G_CALLBACK(record_notify), &log);
    gtk_container_add(GTK_CONTAINER(window_), widget_);
    gtk_widget_show_all(window_);
}

GtkTreeView *SelectionTest::content_view() const
{
    return GTK_TREE_VIEW(kivel_file_selection_get_content_view(fs()));
}

std::string SelectionTest::folder(const std::string &name)
{
    std::string path = docs + "/" + name;
    make_dir(path);
    return path;
}

void SelectionTest::enter(const std::string &path)
{
    std::string uri = uri_of(path);
    GtkTreeIter iter, parent;
    // Its folder listed whole too: a row on the way comes ahead of its siblings.
    ASSERT_TRUE(pump_until([&] {
        return kivel_file_system_model_load_path(model(), uri.c_str(), &iter) &&
               (!gtk_tree_model_iter_parent(model_, &parent, &iter) ||
                kivel_file_system_model_children_loaded(model(), &parent));
    })) << "the model never had "
        << uri;
    GError *error = nullptr;
    ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs(), uri.c_str(), &error))
        << (error ? error->message : "");
}

bool SelectionTest::await_count(int n, int timeout_ms)
{
    return pump_until([&] { return kivel_file_selection_get_content_count(fs()) == n; },
                      timeout_ms);
}

// (transfer full) The renderers of a column, set up to draw row `row`; NULL
// when there is no such row.
static GList *cells_for_row(GtkTreeView *view, int column_index, int row)
{
    GtkTreeModel *store = gtk_tree_view_get_model(view);
    GtkTreeIter iter;
    if (!gtk_tree_model_iter_nth_child(store, &iter, nullptr, row))
        return nullptr;
    GtkTreeViewColumn *column = gtk_tree_view_get_column(view, column_index);
    gtk_tree_view_column_cell_set_cell_data(column, store, &iter, FALSE, FALSE);
    return gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
}

static std::string cell_text(GtkTreeView *view, int column_index, int row, int cell_index)
{
    GList *cells = cells_for_row(view, column_index, row);
    if (!cells)
        return "<no row>";
    gchar *text = nullptr;
    g_object_get(g_list_nth_data(cells, cell_index), "text", &text, nullptr);
    g_list_free(cells);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

std::vector<std::string> SelectionTest::names() const
{
    std::vector<std::string> shown;
    int n = gtk_tree_model_iter_n_children(gtk_tree_view_get_model(content_view()), nullptr);
    for (int row = 0; row < n; row++)
        shown.push_back(cell_text(content_view(), 0, row, 1));
    return shown;
}

std::string SelectionTest::name_at(int row) const
{
    return cell_text(content_view(), 0, row, 1);
}

GdkPixbuf *SelectionTest::icon_at(int row) const
{
    GList *cells = cells_for_row(content_view(), 0, row);
    GdkPixbuf *icon = nullptr;
    if (cells)
        g_object_get(g_list_nth_data(cells, 0), "pixbuf", &icon, nullptr);
    g_list_free(cells);
    if (icon)
        g_object_unref(icon); // the model keeps it
    return icon;
}

std::string SelectionTest::column_text(int column, int row) const
{
    return cell_text(content_view(), column, row, 0);
}

int SelectionTest::row_of(const std::string &name) const
{
    std::vector<std::string> shown = names();
    for (size_t i = 0; i < shown.size(); i++) {
        if (shown[i] == name)
            return int(i);
    }
    return -1;
}

bool row_laid_out(GtkTreeView *view, int row, GdkRectangle *area)
{
    GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
    gtk_tree_view_get_cell_area(view, path, gtk_tree_view_get_column(view, 0), area);
    GtkTreePath *found = nullptr;
    bool hit =
        area->height > 0 &&
        gtk_tree_view_get_path_at_pos(view, area->x + area->width / 2, area->y + area->height / 2,
                                      &found, nullptr, nullptr, nullptr) &&
        gtk_tree_path_compare(found, path) == 0;
    if (found)
        gtk_tree_path_free(found);
    gtk_tree_path_free(path);
    return hit;
}

static void send_button(GtkTreeView *view, int row, guint button, GdkEventType type,
                        guint32 event_time)
{
    // The row must be laid out before a pointer can find it.
    GdkRectangle area = {};
    bool laid_out = pump_until([&] { return row_laid_out(view, row, &area); });
    ASSERT_TRUE(laid_out) << "row " << row << " never showed";
    GdkEvent *event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(gtk_tree_view_get_bin_window(view)));
    event->button.send_event = TRUE;
    event->button.time = event_time;
    event->button.x = area.x + area.width / 2;
    event->button.y = area.y + area.height / 2;
    event->button.button = button;
    event->button.device = gdk_device_get_core_pointer();
    gtk_widget_event(GTK_WIDGET(view), event);
    gdk_event_free(event);
}

void SelectionTest::press_row(int row, guint button, guint32 after_ms)
{
    event_time_ += after_ms;
    send_button(content_view(), row, button, GDK_BUTTON_PRESS, event_time_);
}

void SelectionTest::release_row(int row, guint button)
{
    event_time_ += 50;
    send_button(content_view(), row, button, GDK_BUTTON_RELEASE, event_time_);
}

std::vector<std::string> SelectionTest::selected_uris() const
{
    std::vector<std::string> uris;
    GSList *list = kivel_file_selection_get_selected_uris(fs());
    for (GSList *l = list; l; l = l->next)
        uris.push_back(static_cast<const char *>(l->data));
    g_slist_free_full(list, g_free);
    return uris;
}

} // namespace selection_test
