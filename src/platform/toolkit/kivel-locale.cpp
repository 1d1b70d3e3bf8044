#include "platform/toolkit/kivel-locale.h"

#include <libintl.h>
#include <locale.h>
#include <string.h>
#include <unistd.h>

gboolean kivel_running_from_build_tree(void)
{
    gchar *exe = g_file_read_link("/proc/self/exe", nullptr);
    if (!exe)
        return FALSE;
    gboolean inside = g_str_has_prefix(exe, ULVO_BUILD_DIR "/");
    g_free(exe);
    return inside;
}

const gchar *kivel_locale_dir(void)
{
    static const gchar *dir = nullptr;
    if (!dir) {
        if (kivel_running_from_build_tree() &&
            g_file_test(ULVO_BUILD_DIR "/locale", G_FILE_TEST_IS_DIR))
            dir = ULVO_BUILD_DIR "/locale";
        else
            dir = ULVO_LOCALEDIR;
    }
    return dir;
}

static gboolean is_untranslated(const char *name)
{
    return !name || !*name || strcmp(name, "C") == 0 || strcmp(name, "POSIX") == 0 ||
           g_str_has_prefix(name, "C.");
}

// The languages the person asked for, most wanted first: LANGUAGE, else the
// messages locale, else the locale named by the environment (which the C
// library may not have installed). (transfer full) "" when none.
static gchar *asked_languages(const char *messages_locale)
{
    const gchar *language = g_getenv("LANGUAGE");
    if (language && *language)
        return g_strdup(language);
    if (!is_untranslated(messages_locale))
        return g_strdup(messages_locale);
    static const char *const variables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const char *variable : variables) {
        const gchar *value = g_getenv(variable);
        if (value && *value)
            return g_strdup(is_untranslated(value) ? "" : value);
    }
    return g_strdup("");
}

static gboolean lists_english(const gchar *languages)
{
    gchar **names = g_strsplit(languages, ":", -1);
    gboolean found = g_strv_contains(names, "en");
    g_strfreev(names);
    return found;
}

void kivel_locale_prefer_english(void)
{
    const char *messages = setlocale(LC_MESSAGES, nullptr);
    gchar *languages = asked_languages(messages);
    // The C library ignores LANGUAGE under "C"; C.UTF-8 keeps messages
    // untranslated but lets the list below decide.
    if (is_untranslated(messages) && !setlocale(LC_MESSAGES, "C.UTF-8")) {
        g_free(languages);
        return;
    }
    if (!lists_english(languages)) {
        gchar *with_english = *languages ? g_strconcat(languages, ":en", nullptr) : g_strdup("en");
        g_setenv("LANGUAGE", with_english, TRUE);
        g_free(with_english);
    }
    g_free(languages);
}

void kivel_locale_bind_platform_catalogs(void)
{
    static const char *const catalogs[] = {
        "kivel-fm",    "kivel-libs",         "kivel-common-strings",
        "ulvo-backup", "ulvo-applet-memory", "ke-recv"};
    for (const char *catalog : catalogs) {
        bindtextdomain(catalog, kivel_locale_dir());
        bind_textdomain_codeset(catalog, "UTF-8");
    }
}

static void on_column_title_changed(GObject *column, GParamSpec *, gpointer label)
{
    gtk_label_set_text(GTK_LABEL(label),
                       gtk_tree_view_column_get_title(GTK_TREE_VIEW_COLUMN(column)));
}

void kivel_locale_show_column_titles_as_written(GtkTreeView *view)
{
    g_return_if_fail(GTK_IS_TREE_VIEW(view));
    GList *columns = gtk_tree_view_get_columns(view);
    for (GList *l = columns; l; l = l->next) {
        GtkTreeViewColumn *column = GTK_TREE_VIEW_COLUMN(l->data);
        GtkWidget *label = gtk_label_new(gtk_tree_view_column_get_title(column));
        gtk_widget_show(label);
        gtk_tree_view_column_set_widget(column, label);
        g_signal_connect_object(column, "notify::title", G_CALLBACK(on_column_title_changed), label,
                                GConnectFlags(0));
    }
    g_list_free(columns);
}
