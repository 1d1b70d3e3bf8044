// Where the message catalogs live, and binding of the platform's catalogs.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

// TRUE when the running program lies in the build tree it was built in, so
// that it uses the build tree's catalogs and plugins, not installed ones.
gboolean kivel_running_from_build_tree(void);

// The locale folder to bind catalogs to: the build tree's when the running
// program was built there, else the one the program was installed with.
// (transfer none)
const gchar *kivel_locale_dir(void);

// Makes sure an untranslated "C" locale still shows English words: switches
// LC_MESSAGES to C.UTF-8 and LANGUAGE to "en" (unless set) when messages
// are in "C", "C.<codeset>" or "POSIX". Call after setlocale(LC_ALL, "").
void kivel_locale_prefer_english(void);

// Binds the platform catalogs ("kivel-fm", "kivel-libs", ...) with UTF-8.
void kivel_locale_bind_platform_catalogs(void);

G_END_DECLS
