#include "app/ulvo-fm-menu.h"

#include "app/edit-window.h"
#include "app/ulvo-fm-app.h"
#include "app/ulvo-fm-browser.h"
#include "model/fm-assert.h"
#include "model/location.h"
#include "ui/memory-card.h"

#include <gdk/gdkkeysyms.h>
#include <libintl.h>

static void on_menu_new_folder_clicked(GtkButton *, gpointer)
{
    on_newfolder_activate(global_ofm);
}

static void on_menu_move_clicked(GtkButton *, gpointer)
{
    create_edit_window(global_ofm, 1);
}

static void on_menu_copy_clicked(GtkButton *, gpointer)
{
    create_edit_window(global_ofm, 0);
}

static void on_menu_delete_clicked(GtkButton *, gpointer)
{
    create_edit_window(global_ofm, 2);
}

static void on_menu_memory_usage_clicked(GtkButton *, gpointer browser)
{
    ulvo_fm_show_memory_usage(browser);
}

static gboolean on_new_folder_key(GtkButton *new_folder_button)
{
    gtk_button_clicked(new_folder_button);
    return TRUE;
}

static GtkWidget *new_menu_button(const char *catalog, const char *id, GCallback handler,
                                  UlvoFmBrowser *browser)
{
    GtkWidget *button = gtk_button_new_with_label(dgettext(catalog, id));
    g_signal_connect_after(button, "clicked", handler, browser);
    return button;
}

KivelAppMenu *ulvo_fm_browser_get_main_menu(UlvoFmBrowser *browser)
{
    FM_RETURN_VAL_IF_FAIL(ULVO_FM_IS_BROWSER(browser), "ULVO_FM_IS_BROWSER (browser)", NULL);
    if (browser->main_menu)
        return browser->main_menu;

    GtkAccelGroup *accel_group = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(browser), accel_group);

    KivelAppMenu *menu = KIVEL_APP_MENU(kivel_app_menu_new());
    GTK_WIDGET_SET_FLAGS(GTK_WIDGET(menu), GTK_CAN_FOCUS);
    g_signal_connect(menu, "show", G_CALLBACK(ulvo_fm_browser_menu_show_cb), browser);

    browser->new_folder_button = new_menu_button("ulvo-filemanager", "hfil_me_new_folder",
                                                 G_CALLBACK(on_menu_new_folder_clicked), browser);
    browser->move_button = new_menu_button("ulvo-filemanager", "hfil_me_move",
                                           G_CALLBACK(on_menu_move_clicked), browser);
    browser->copy_button = new_menu_button("ulvo-filemanager", "hfil_me_copy",
                                           G_CALLBACK(on_menu_copy_clicked), browser);
    browser->delete_button = new_menu_button("kivel-libs", "wdgt_bd_delete",
                                             G_CALLBACK(on_menu_delete_clicked), browser);
    browser->sort_button = new_menu_button("ulvo-filemanager", "hfil_me_sort",
                                           G_CALLBACK(on_menu_sort_clicked), browser);
    browser->memory_usage_button =
        new_menu_button("ulvo-filemanager", "hfil_me_memory_usage",
                        G_CALLBACK(on_menu_memory_usage_clicked), browser);

    // Bound to the group rather than to the button: a button's accelerator
    // works only while its menu is on the screen.
    GClosure *new_folder_key =
        g_cclosure_new_swap(G_CALLBACK(on_new_folder_key), browser->new_folder_button, nullptr);
    gtk_accel_group_connect(accel_group, GDK_n, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE,
                            new_folder_key);
    g_object_unref(accel_group);

    GtkWidget *buttons[] = {browser->new_folder_button, browser->move_button,
                            browser->copy_button,       browser->delete_button,
                            browser->sort_button,       browser->memory_usage_button};
    for (GtkWidget *button : buttons)
        kivel_app_menu_append(menu, GTK_BUTTON(button));
    gtk_widget_show_all(GTK_WIDGET(menu));

    // Held until finalization.
    browser->main_menu = KIVEL_APP_MENU(g_object_ref(menu));
    return menu;
}

void ulvo_fm_browser_menu_show_cb(GtkWidget *, gpointer data)
{
    UlvoFmBrowser *browser = ULVO_FM_BROWSER(data);
    FM_RETURN_IF_FAIL(browser->file_selection, "browser->file_selection");
    update_current_selection_state(KIVEL_FILE_SELECTION(browser->file_selection));
    ulvo_fm_update_selection_info(browser->selection_info,
                                  KIVEL_FILE_SELECTION(browser->file_selection), TRUE);

    const struct {
        GtkWidget *button;
        gint flags;
    } entries[] = {{browser->new_folder_button, 7},
                   {browser->move_button, 15},
                   {browser->copy_button, 9},
                   {browser->delete_button, 15},
                   {browser->sort_button, 9}};
    for (const auto &entry : entries)
        gtk_widget_set_visible(entry.button, ulvo_fm_check_current_folder(global_ofm, entry.flags));
    gtk_widget_set_visible(browser->memory_usage_button, TRUE);
}
