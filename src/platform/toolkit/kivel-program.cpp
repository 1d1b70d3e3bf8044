#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-program.h"

#include "platform/toolkit/kivel-gtk-menu.h"
#include "platform/toolkit/kivel-locale.h"

struct _KivelProgram {
    GObject parent;
    GSList *windows; // weak pointers to the windows added
    gboolean can_hibernate;
};

struct _KivelProgramClass {
    GObjectClass parent_class;
};

enum { PROP_0, PROP_CAN_HIBERNATE };

G_DEFINE_TYPE(KivelProgram, kivel_program, G_TYPE_OBJECT)

static const gint finger_icon_pixels = 48;

// An icon that does not depend on the installed icon themes.
static void add_builtin_icon_from_stock(const gchar *icon_name, const gchar *stock_id,
                                        GtkIconSize size)
{
    GtkIconSet *set = gtk_icon_factory_lookup_default(stock_id);
    GdkPixbuf *pixbuf =
        set ? gtk_icon_set_render_icon(set, gtk_widget_get_default_style(), GTK_TEXT_DIR_NONE,
                                       GTK_STATE_NORMAL, size, nullptr, nullptr)
            : nullptr;
    if (!pixbuf) {
        g_warning("no picture for the built-in icon %s", icon_name);
        return;
    }
    gtk_icon_theme_add_builtin_icon(icon_name, finger_icon_pixels, pixbuf);
    g_object_unref(pixbuf);
}

// A stock item of our own that looks like an existing one.
static void add_stock_alias(const gchar *stock_id, const gchar *like_stock_id)
{
    GtkIconSet *set = gtk_icon_factory_lookup_default(like_stock_id);
    if (!set)
        return;
    GtkIconFactory *factory = gtk_icon_factory_new();
    gtk_icon_factory_add(factory, stock_id, set);
    gtk_icon_factory_add_default(factory);
    g_object_unref(factory);
}

void kivel_init(void)
{
    static gboolean done = FALSE;
    if (done)
        return;
    done = TRUE;

    kivel_locale_bind_platform_catalogs();
    GtkIconSize finger =
        gtk_icon_size_register("kivel-finger", finger_icon_pixels, finger_icon_pixels);
    add_builtin_icon_from_stock("filemanager_folder_up", GTK_STOCK_GO_UP, finger);
    add_stock_alias("kivel-shorten-warning", GTK_STOCK_DIALOG_WARNING);
    kivel_gtk_menu_register_signals();
}

static void publish_flag_on_window(GtkWidget *window, gboolean can_hibernate)
{
    GdkWindow *gdk_window = gtk_widget_get_window(window);
    if (!gdk_window)
        return; // published when realized
    gulong value = can_hibernate ? 1 : 0;
    gdk_property_change(gdk_window, gdk_atom_intern_static_string("_KIVEL_CAN_HIBERNATE"),
                        gdk_atom_intern_static_string("CARDINAL"), 32, GDK_PROP_MODE_REPLACE,
                        reinterpret_cast<const guchar *>(&value), 1);
}

static void on_window_realized(GtkWidget *window, gpointer program)
{
    publish_flag_on_window(window, KIVEL_PROGRAM(program)->can_hibernate);
}

static void forget_window(gpointer program, GObject *window)
{
    KivelProgram *self = KIVEL_PROGRAM(program);
    self->windows = g_slist_remove(self->windows, window);
}

void kivel_program_add_window(KivelProgram *program, GtkWindow *window)
{
    g_return_if_fail(KIVEL_IS_PROGRAM(program));
    g_return_if_fail(GTK_IS_WINDOW(window));
    if (g_slist_find(program->windows, window))
        return;
    program->windows = g_slist_prepend(program->windows, window);
    g_object_weak_ref(G_OBJECT(window), forget_window, program);
    g_signal_connect_object(window, "realize", G_CALLBACK(on_window_realized), program,
                            GConnectFlags(0));
    publish_flag_on_window(GTK_WIDGET(window), program->can_hibernate);
}

void kivel_program_set_can_hibernate(KivelProgram *program, gboolean can_hibernate)
{
    g_return_if_fail(KIVEL_IS_PROGRAM(program));
    can_hibernate = can_hibernate != FALSE;
    if (program->can_hibernate == can_hibernate)
        return;
    program->can_hibernate = can_hibernate;
    for (GSList *l = program->windows; l; l = l->next)
        publish_flag_on_window(GTK_WIDGET(l->data), can_hibernate);
    g_object_notify(G_OBJECT(program), "can-hibernate");
}

gboolean kivel_program_get_can_hibernate(KivelProgram *program)
{
    g_return_val_if_fail(KIVEL_IS_PROGRAM(program), FALSE);
    return program->can_hibernate;
}

KivelProgram *kivel_program_get_instance(void)
{
    static KivelProgram *instance = nullptr;
    if (!instance)
        instance = KIVEL_PROGRAM(g_object_new(KIVEL_TYPE_PROGRAM, nullptr));
    return instance;
}

static void kivel_program_set_property(GObject *object, guint id, const GValue *value,
                                       GParamSpec *pspec)
{
    switch (id) {
    case PROP_CAN_HIBERNATE:
        kivel_program_set_can_hibernate(KIVEL_PROGRAM(object), g_value_get_boolean(value));
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void kivel_program_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    switch (id) {
    case PROP_CAN_HIBERNATE:
        g_value_set_boolean(value, KIVEL_PROGRAM(object)->can_hibernate);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void kivel_program_init(KivelProgram *) {}

static void kivel_program_class_init(KivelProgramClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = kivel_program_set_property;
    object_class->get_property = kivel_program_get_property;
    g_object_class_install_property(
        object_class, PROP_CAN_HIBERNATE,
        g_param_spec_boolean("can-hibernate", "Can hibernate",
                             "Whether the platform may stop the application in the background",
                             FALSE, GParamFlags(G_PARAM_READWRITE | G_PARAM_EXPLICIT_NOTIFY)));
}
