#include "platform/kivel-locale.h"

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
        if (kivel_running_from_build_tree() && g_file_test(ULVO_BUILD_DIR "/locale", G_FILE_TEST_IS_DIR))
            dir = ULVO_BUILD_DIR "/locale";
        else
            dir = ULVO_LOCALEDIR;
    }
    return dir;
}

void kivel_locale_prefer_english(void)
{
    const char *messages = setlocale(LC_MESSAGES, nullptr);
    gboolean untranslated =
        messages && (strcmp(messages, "C") == 0 || strcmp(messages, "POSIX") == 0 ||
                     g_str_has_prefix(messages, "C."));
    if (untranslated) {
        if (setlocale(LC_MESSAGES, "C.UTF-8"))
            g_setenv("LANGUAGE", "en", FALSE);
    }
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
