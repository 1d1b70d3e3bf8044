// Where the message catalogs live, binding of the platform's catalogs, and
// showing translated texts as they are written.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// TRUE when the running program lies in the build tree it was built in, so
// that it uses the build tree's catalogs and plugins, not installed ones.
gboolean kivel_running_from_build_tree(void);

// The locale folder to bind catalogs to: the build tree's when the running
// program was built there, else the one the program was installed with.
// (transfer none)
const gchar *kivel_locale_dir(void);

// Makes every text fall back to English where the person's languages have
// no catalog: LANGUAGE becomes their languages followed by "en", and an
// untranslated "C" or "POSIX" LC_MESSAGES becomes C.UTF-8 so that LANGUAGE
// counts. Call after setlocale(LC_ALL, "") and before gtk_init, which must
// not set the locale again (gtk_disable_setlocale).
void kivel_locale_prefer_english(void);

// Binds the platform catalogs ("kivel-fm", "kivel-libs", ...) with UTF-8.
void kivel_locale_bind_platform_catalogs(void);

// Shows the titles of the view's columns as written: GTK would take an
// underscore in a title for a mnemonic and drop it. Later title changes
// are followed.
void kivel_locale_show_column_titles_as_written(GtkTreeView *view);

G_END_DECLS
