#define G_LOG_DOMAIN "Kivel"

#include "platform/services/kivel-sharing-dialog.h"

#include "platform/toolkit/kivel-banner.h"
#include "platform/services/kivel-mime.h"
#include "platform/toolkit/kivel-pannable.h"
#include "vfs/glib-ptr.h"

#include <libintl.h>
#include <string>
#include <vector>

using ulvo::ErrorOut;
using ulvo::GCharPtr;
using ulvo::GObjPtr;
using ulvo::GStrvPtr;

namespace
{

struct Way {
    guint bit;
    const gchar *label_id;
    const gchar *program;
    const gchar *file_option; // put before every file; nullable
};

const Way ways[] = {
    {SHARING_DIALOG_EMAIL, "shdg_bd_email", "xdg-email", "--attach"},
    {SHARING_DIALOG_BLUETOOTH, "shdg_bd_bluetooth", "bluetooth-sendto", nullptr},
};

const gint button_height = 70;
const gint list_height = 210;

const gchar *platform_text(const gchar *id)
{
    return dgettext("kivel-libs", id);
}

// Local files go by path, the programs' common ground; others by URI.
std::string argument_for(const gchar *uri)
{
    GObjPtr<GFile> file(g_file_new_for_uri(uri));
    GCharPtr path(g_file_get_path(file.get()));
    return path ? path.get() : uri;
}

std::string display_name(const gchar *uri)
{
    GObjPtr<GFile> file(g_file_new_for_uri(uri));
    GCharPtr base(g_file_get_basename(file.get()));
    if (!base)
        return uri;
    GCharPtr name(g_filename_display_name(base.get()));
    return name.get();
}

GtkWidget *file_list(GSList *uris)
{
    GtkListStore *store = gtk_list_store_new(1, G_TYPE_STRING);
    for (GSList *l = uris; l; l = l->next) {
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        std::string name = display_name(static_cast<const gchar *>(l->data));
        gtk_list_store_set(store, &iter, 0, name.c_str(), -1);
    }
    GtkWidget *view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(view), FALSE);
    GtkCellRenderer *cell = gtk_cell_renderer_text_new();
    g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_MIDDLE, "ypad", 8, nullptr);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(view), -1, nullptr, cell, "text", 0,
                                                nullptr);
    GtkWidget *area = kivel_pannable_area_new();
    gtk_container_add(GTK_CONTAINER(area), view);
    gtk_widget_set_size_request(area, -1, list_height);
    return area;
}

// The ways offered, with the program that each one runs.
std::vector<std::pair<const Way *, std::string>> offered_ways(guint mask)
{
    std::vector<std::pair<const Way *, std::string>> offered;
    for (const Way &way : ways) {
        if (!(mask & way.bit))
            continue;
        GCharPtr program(g_find_program_in_path(way.program));
        if (program)
            offered.emplace_back(&way, program.get());
    }
    return offered;
}

GtkWidget *build_dialog(GtkWindow *parent, GSList *uris,
                        const std::vector<std::pair<const Way *, std::string>> &offered)
{
    GtkWidget *dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), platform_text("shdg_ti_send"));
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    if (parent)
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    gtk_dialog_set_has_separator(GTK_DIALOG(dialog), FALSE);
    GtkWidget *content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_box_pack_start(GTK_BOX(content), file_list(uris), TRUE, TRUE, 0);
    if (offered.empty()) {
        GtkWidget *label = gtk_label_new(platform_text("shdg_ia_no_way"));
        gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
        gtk_box_pack_start(GTK_BOX(content), label, FALSE, FALSE, 8);
    }
    for (const auto &way : offered) {
        GtkWidget *button = gtk_dialog_add_button(
            GTK_DIALOG(dialog), platform_text(way.first->label_id), way.first->bit);
        gtk_widget_set_size_request(button, -1, button_height);
    }
    GtkWidget *cancel = gtk_dialog_add_button(GTK_DIALOG(dialog), platform_text("wdgt_bd_cancel"),
                                              GTK_RESPONSE_CANCEL);
    gtk_widget_set_size_request(cancel, -1, button_height);
    gtk_widget_show_all(content);
    return dialog;
}

gboolean start_way(const Way &way, const std::string &program, GSList *uris)
{
    std::vector<std::string> args{program};
    for (GSList *l = uris; l; l = l->next) {
        if (way.file_option)
            args.push_back(way.file_option);
        args.push_back(argument_for(static_cast<const gchar *>(l->data)));
    }
    std::vector<gchar *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    GStrvPtr envp(kivel_mime_get_launch_environment());
    ErrorOut error;
    if (!g_spawn_async(nullptr, argv.data(), envp.get(), G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                       error.out())) {
        g_warning("Unable to start %s: %s", program.c_str(), error.get()->message);
        return FALSE;
    }
    return TRUE;
}

} // namespace

void sharing_dialog_button_mask_with_files(ulvo_context_t *, GtkWindow *parent, GSList *uris,
                                           guint mask)
{
    g_return_if_fail(parent == nullptr || GTK_IS_WINDOW(parent));
    g_return_if_fail(uris != nullptr);
    auto offered = offered_ways(mask);
    GtkWidget *dialog = build_dialog(parent, uris, offered);
    g_object_ref(dialog);
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    g_object_unref(dialog);
    for (const auto &way : offered)
        if (response == gint(way.first->bit) && !start_way(*way.first, way.second, uris))
            kivel_banner_show_information(nullptr, nullptr,
                                          platform_text("shdg_ib_unable_to_start"));
}
