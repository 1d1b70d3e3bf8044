#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-note.h"

#include <libintl.h>

struct _KivelNote {
    GtkDialog parent;
    GtkWidget *label;
    GtkWidget *progress_bar; // only in a progress note
    GtkWidget *first_button;
};

struct _KivelNoteClass {
    GtkDialogClass parent_class;
};

G_DEFINE_TYPE(KivelNote, kivel_note, GTK_TYPE_DIALOG)

enum { PROP_0, PROP_DESCRIPTION };

static const gint button_height = 70;
static const gint button_min_width = 150;

static const gchar *platform_text(const gchar *id)
{
    return dgettext("kivel-libs", id);
}

static void set_description(KivelNote *note, const gchar *description)
{
    gtk_label_set_text(GTK_LABEL(note->label), description ? description : "");
    g_log("Kivel", G_LOG_LEVEL_DEBUG, "note: %s", description ? description : "");
}

static GtkWidget *new_note(GtkWindow *parent, const gchar *description)
{
    GtkWidget *note =
        GTK_WIDGET(g_object_new(KIVEL_TYPE_NOTE, "description", description, nullptr));
    if (parent)
        gtk_window_set_transient_for(GTK_WINDOW(note), parent);
    return note;
}

static GtkWidget *add_button(KivelNote *note, const gchar *text, gint response)
{
    GtkWidget *button = gtk_dialog_add_button(GTK_DIALOG(note), text, response);
    gtk_widget_set_size_request(button, button_min_width, button_height);
    if (!note->first_button)
        note->first_button = button;
    return button;
}

GtkWidget *kivel_note_new_confirmation(GtkWindow *parent, const gchar *description)
{
    g_return_val_if_fail(parent == nullptr || GTK_IS_WINDOW(parent), nullptr);
    GtkWidget *note = new_note(parent, description);
    add_button(KIVEL_NOTE(note), platform_text("wdgt_bd_yes"), GTK_RESPONSE_OK);
    add_button(KIVEL_NOTE(note), platform_text("wdgt_bd_no"), GTK_RESPONSE_CANCEL);
    return note;
}

GtkWidget *kivel_note_new_confirmation_add_buttons(GtkWindow *parent, const gchar *description, ...)
{
    g_return_val_if_fail(parent == nullptr || GTK_IS_WINDOW(parent), nullptr);
    GtkWidget *note = new_note(parent, description);
    va_list args;
    va_start(args, description);
    for (const gchar *label = va_arg(args, const gchar *); label;
         label = va_arg(args, const gchar *))
        add_button(KIVEL_NOTE(note), label, va_arg(args, gint));
    va_end(args);
    return note;
}

GtkWidget *kivel_note_new_information(GtkWindow *parent, const gchar *description)
{
    g_return_val_if_fail(parent == nullptr || GTK_IS_WINDOW(parent), nullptr);
    g_return_val_if_fail(description != nullptr, nullptr);
    GtkWidget *note = new_note(parent, description);
    add_button(KIVEL_NOTE(note), platform_text("wdgt_bd_ok"), GTK_RESPONSE_OK);
    return note;
}

GtkWidget *kivel_note_new_cancel_with_progress_bar(GtkWindow *parent, const gchar *description,
                                                   GtkProgressBar *progress_bar)
{
    g_return_val_if_fail(parent == nullptr || GTK_IS_WINDOW(parent), nullptr);
    g_return_val_if_fail(progress_bar == nullptr || GTK_IS_PROGRESS_BAR(progress_bar), nullptr);
    GtkWidget *note = new_note(parent, description);
    KivelNote *self = KIVEL_NOTE(note);
    self->progress_bar = progress_bar ? GTK_WIDGET(progress_bar) : gtk_progress_bar_new();
    GtkWidget *content = gtk_dialog_get_content_area(GTK_DIALOG(note));
    gtk_box_pack_start(GTK_BOX(content), self->progress_bar, FALSE, FALSE, 8);
    gtk_widget_show(self->progress_bar);
    add_button(self, platform_text("wdgt_bd_cancel"), GTK_RESPONSE_CANCEL);
    return note;
}

void kivel_note_set_button_text(KivelNote *note, const gchar *text)
{
    g_return_if_fail(KIVEL_IS_NOTE(note));
    g_return_if_fail(text != nullptr);
    if (note->first_button)
        gtk_button_set_label(GTK_BUTTON(note->first_button), text);
}

GtkProgressBar *kivel_note_get_progress_bar(KivelNote *note)
{
    g_return_val_if_fail(KIVEL_IS_NOTE(note), nullptr);
    return note->progress_bar ? GTK_PROGRESS_BAR(note->progress_bar) : nullptr;
}

static void kivel_note_set_property(GObject *object, guint id, const GValue *value,
                                    GParamSpec *pspec)
{
    switch (id) {
    case PROP_DESCRIPTION:
        set_description(KIVEL_NOTE(object), g_value_get_string(value));
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void kivel_note_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    switch (id) {
    case PROP_DESCRIPTION:
        g_value_set_string(value, gtk_label_get_text(GTK_LABEL(KIVEL_NOTE(object)->label)));
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void kivel_note_init(KivelNote *note)
{
    GtkWindow *window = GTK_WINDOW(note);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_destroy_with_parent(window, TRUE);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_dialog_set_has_separator(GTK_DIALOG(note), FALSE);
    gtk_container_set_border_width(GTK_CONTAINER(note), 8);

    note->label = gtk_label_new(nullptr);
    gtk_label_set_line_wrap(GTK_LABEL(note->label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(note->label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_justify(GTK_LABEL(note->label), GTK_JUSTIFY_CENTER);
    gtk_misc_set_padding(GTK_MISC(note->label), 16, 16);
    GtkWidget *content = gtk_dialog_get_content_area(GTK_DIALOG(note));
    gtk_box_pack_start(GTK_BOX(content), note->label, TRUE, TRUE, 0);
    gtk_widget_show(note->label);
}

static void kivel_note_class_init(KivelNoteClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = kivel_note_set_property;
    object_class->get_property = kivel_note_get_property;
    g_object_class_install_property(object_class, PROP_DESCRIPTION,
                                    g_param_spec_string("description", "Description",
                                                        "The text of the note", nullptr,
                                                        G_PARAM_READWRITE));
}
