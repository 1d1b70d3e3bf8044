#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-edit-toolbar.h"

#include "platform/toolkit/kivel-button.h"

struct _KivelEditToolbar {
    GtkHBox parent;
    GtkWidget *label;
    GtkWidget *button;
    GtkWidget *arrow;
};

struct _KivelEditToolbarClass {
    GtkHBoxClass parent_class;
};

G_DEFINE_TYPE(KivelEditToolbar, kivel_edit_toolbar, GTK_TYPE_HBOX)

enum { SIGNAL_BUTTON_CLICKED, SIGNAL_ARROW_CLICKED, N_SIGNALS };
static guint signals[N_SIGNALS];

static void on_button_clicked(GtkButton *, gpointer toolbar)
{
    g_signal_emit(toolbar, signals[SIGNAL_BUTTON_CLICKED], 0);
}

static void on_arrow_clicked(GtkButton *, gpointer toolbar)
{
    g_signal_emit(toolbar, signals[SIGNAL_ARROW_CLICKED], 0);
}

GtkWidget *kivel_edit_toolbar_new_with_text(const gchar *label, const gchar *button)
{
    KivelEditToolbar *toolbar = KIVEL_EDIT_TOOLBAR(g_object_new(KIVEL_TYPE_EDIT_TOOLBAR, nullptr));
    kivel_edit_toolbar_set_label(toolbar, label);
    kivel_edit_toolbar_set_button_label(toolbar, button);
    return GTK_WIDGET(toolbar);
}

void kivel_edit_toolbar_set_label(KivelEditToolbar *toolbar, const gchar *label)
{
    g_return_if_fail(KIVEL_IS_EDIT_TOOLBAR(toolbar));
    gchar *markup = g_markup_printf_escaped("<big><b>%s</b></big>", label ? label : "");
    gtk_label_set_markup(GTK_LABEL(toolbar->label), markup);
    g_free(markup);
}

void kivel_edit_toolbar_set_button_label(KivelEditToolbar *toolbar, const gchar *label)
{
    g_return_if_fail(KIVEL_IS_EDIT_TOOLBAR(toolbar));
    gtk_button_set_label(GTK_BUTTON(toolbar->button), label ? label : "");
}

GtkWidget *kivel_edit_toolbar_get_button(KivelEditToolbar *toolbar)
{
    g_return_val_if_fail(KIVEL_IS_EDIT_TOOLBAR(toolbar), nullptr);
    return toolbar->button;
}

GtkWidget *kivel_edit_toolbar_get_arrow(KivelEditToolbar *toolbar)
{
    g_return_val_if_fail(KIVEL_IS_EDIT_TOOLBAR(toolbar), nullptr);
    return toolbar->arrow;
}

static void kivel_edit_toolbar_init(KivelEditToolbar *toolbar)
{
    GtkBox *box = GTK_BOX(toolbar);
    gtk_box_set_spacing(box, 8);
    gtk_container_set_border_width(GTK_CONTAINER(toolbar), 4);

    toolbar->label = gtk_label_new(nullptr);
    gtk_misc_set_alignment(GTK_MISC(toolbar->label), 0.0, 0.5);
    gtk_misc_set_padding(GTK_MISC(toolbar->label), 8, 0);
    gtk_label_set_ellipsize(GTK_LABEL(toolbar->label), PANGO_ELLIPSIZE_END);

    toolbar->button =
        kivel_button_new(KIVEL_SIZE_FINGER_HEIGHT, KIVEL_BUTTON_ARRANGEMENT_HORIZONTAL);
    gtk_widget_set_size_request(toolbar->button, 180, 70);

    toolbar->arrow =
        kivel_button_new(KIVEL_SIZE_FINGER_HEIGHT, KIVEL_BUTTON_ARRANGEMENT_HORIZONTAL);
    gtk_widget_set_size_request(toolbar->arrow, 70, 70);
    gtk_container_add(GTK_CONTAINER(toolbar->arrow),
                      gtk_arrow_new(GTK_ARROW_LEFT, GTK_SHADOW_NONE));
    gtk_button_set_relief(GTK_BUTTON(toolbar->arrow), GTK_RELIEF_NONE);

    gtk_box_pack_start(box, toolbar->label, TRUE, TRUE, 0);
    gtk_box_pack_start(box, toolbar->button, FALSE, FALSE, 0);
    gtk_box_pack_start(box, toolbar->arrow, FALSE, FALSE, 0);
    // The toolbar itself is shown by its owner, like any widget.
    gtk_widget_show(toolbar->label);
    gtk_widget_show_all(toolbar->button);
    gtk_widget_show_all(toolbar->arrow);

    g_signal_connect(toolbar->button, "clicked", G_CALLBACK(on_button_clicked), toolbar);
    g_signal_connect(toolbar->arrow, "clicked", G_CALLBACK(on_arrow_clicked), toolbar);
}

static void kivel_edit_toolbar_class_init(KivelEditToolbarClass *klass)
{
    signals[SIGNAL_BUTTON_CLICKED] =
        g_signal_new("button-clicked", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_FIRST, 0, nullptr,
                     nullptr, g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
    signals[SIGNAL_ARROW_CLICKED] =
        g_signal_new("arrow-clicked", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_FIRST, 0, nullptr,
                     nullptr, g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
}
