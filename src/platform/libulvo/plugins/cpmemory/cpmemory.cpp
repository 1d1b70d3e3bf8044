// The memory usage control panel plugin: used and free space of the
// documents folder and of each memory card.
#define G_LOG_DOMAIN "ulvo"

#include "platform/libulvo/ulvo.h"

#include <errno.h>
#include <gmodule.h>
#include <gtk/gtk.h>
#include <libintl.h>
#include <locale.h>
#include <sys/statvfs.h>

#define MEMORY_CATALOG "ulvo-applet-memory"

static const gchar *tr(const char *id)
{
    return dcgettext(MEMORY_CATALOG, id, LC_MESSAGES);
}

namespace
{
struct Storage {
    const char *title_id;
    gchar *path;
    // The documents folder is always listed; a card only when inserted.
    gboolean always_listed;
};

struct Usage {
    guint64 used;
    // What the user can still write; space reserved for root counts as neither.
    guint64 free;
};
} // namespace

static gboolean read_usage(const gchar *path, Usage *usage)
{
    struct statvfs fs;
    if (statvfs(path, &fs) != 0) {
        g_debug("No usage for %s: %s", path, g_strerror(errno));
        return FALSE;
    }
    guint64 unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    usage->used = guint64(fs.f_blocks - fs.f_bfree) * unit;
    usage->free = guint64(fs.f_bavail) * unit;
    return TRUE;
}

static GtkWidget *left_label(const gchar *text)
{
    GtkWidget *label = gtk_label_new(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0, 0.5);
    return label;
}

static void attach_figure(GtkTable *table, guint row, const char *name_id, guint64 bytes)
{
    gchar *size = g_format_size(bytes);
    gtk_table_attach(table, left_label(tr(name_id)), 0, 1, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
    gtk_table_attach(table, left_label(size), 1, 2, row, row + 1,
                     GtkAttachOptions(GTK_FILL | GTK_EXPAND), GTK_FILL, 0, 0);
    g_free(size);
}

// A heading, a bar of the used share and the two figures; or a line saying
// that the storage cannot be read.
static GtkWidget *storage_section(const Storage &storage)
{
    GtkWidget *box = gtk_vbox_new(FALSE, 4);
    GtkWidget *heading = left_label(nullptr);
    gchar *markup = g_markup_printf_escaped("<b>%s</b>", tr(storage.title_id));
    gtk_label_set_markup(GTK_LABEL(heading), markup);
    g_free(markup);
    gtk_box_pack_start(GTK_BOX(box), heading, FALSE, FALSE, 0);

    Usage usage;
    if (!read_usage(storage.path, &usage)) {
        gtk_box_pack_start(GTK_BOX(box), left_label(tr("memo_fi_not_available")), FALSE, FALSE, 0);
        return box;
    }
    GtkWidget *bar = gtk_progress_bar_new();
    guint64 usable = usage.used + usage.free;
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar),
                                  usable ? double(usage.used) / double(usable) : 0.0);
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);

    GtkWidget *table = gtk_table_new(2, 2, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(table), 12);
    attach_figure(GTK_TABLE(table), 0, "memo_fi_used", usage.used);
    attach_figure(GTK_TABLE(table), 1, "memo_fi_free", usage.free);
    gtk_box_pack_start(GTK_BOX(box), table, FALSE, FALSE, 0);
    return box;
}

static GtkWindow *parent_window(gpointer data)
{
    if (!data || !GTK_IS_WIDGET(data))
        return nullptr;
    GtkWidget *toplevel = gtk_widget_get_toplevel(GTK_WIDGET(data));
    return GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr;
}

static GtkWidget *memory_dialog_new(GtkWindow *parent)
{
    GtkWidget *dialog = gtk_dialog_new();
    gtk_window_set_title(GTK_WINDOW(dialog), tr("memo_ti_memory_usage"));
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 360, -1);
    if (parent)
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    gtk_dialog_add_button(GTK_DIALOG(dialog), tr("memo_bd_close"), GTK_RESPONSE_CLOSE);

    Storage storages[] = {
        {"memo_fi_documents", g_build_filename(g_get_home_dir(), "MyDocs", nullptr), TRUE},
        {"memo_fi_memory_card_1", g_strdup("/media/mmc1"), FALSE},
        {"memo_fi_memory_card_2", g_strdup("/media/mmc2"), FALSE},
    };
    GtkWidget *content = gtk_vbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(content), 8);
    for (const Storage &storage : storages) {
        if (storage.always_listed || g_file_test(storage.path, G_FILE_TEST_IS_DIR))
            gtk_box_pack_start(GTK_BOX(content), storage_section(storage), FALSE, FALSE, 0);
        g_free(storage.path);
    }
    gtk_box_pack_start(GTK_BOX(GTK_DIALOG(dialog)->vbox), content, TRUE, TRUE, 0);
    return dialog;
}

extern "C" G_MODULE_EXPORT gint execute(ulvo_context_t *, gpointer data, gboolean user_activated)
{
    g_debug("Memory usage view started%s", user_activated ? " by the user" : "");
    GtkWidget *dialog = memory_dialog_new(parent_window(data));
    gtk_widget_show_all(dialog);
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return 0;
}
