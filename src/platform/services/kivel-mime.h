// MIME types of locations, their default applications, and opening files
// with them. Programs started from here get the environment the file
// manager itself was started with, not the one it runs with.
#pragma once

#include <dbus/dbus.h>
#include <gio/gio.h>

G_BEGIN_DECLS

// Results of kivel_mime_open_file_list besides a failure (any other value).
#define KIVEL_MIME_OPEN_OK 1
#define KIVEL_MIME_OPEN_NOT_ALLOWED -1
#define KIVEL_MIME_OPEN_NOT_SUPPORTED -2
#define KIVEL_MIME_OPEN_FAILED 0

// Keeps a copy of the present environment for the programs started from
// here. Call first thing at start-up, before the program changes its own.
void kivel_mime_keep_launch_environment(void);

// (transfer full) The kept environment, or the present one when none was
// kept. Free with g_strfreev().
gchar **kivel_mime_get_launch_environment(void);

// (transfer full) A launch context whose programs get the kept environment.
GAppLaunchContext *kivel_mime_launch_context_new(void);

// (transfer full) (nullable) The MIME type of the location `texturi`, from
// its name and content; NULL when it cannot be read.
gchar *kivel_mime_get_type_for_uri(const gchar *texturi);

// What kind of content a MIME type holds; the values are bits so that
// callers may ask for several at once.
typedef enum {
    KIVEL_MIME_CATEGORY_OTHER = 0,
    KIVEL_MIME_CATEGORY_BOOKMARKS = 1 << 0,
    KIVEL_MIME_CATEGORY_CONTACTS = 1 << 1,
    KIVEL_MIME_CATEGORY_DOCUMENTS = 1 << 2,
    KIVEL_MIME_CATEGORY_EMAILS = 1 << 3,
    KIVEL_MIME_CATEGORY_IMAGES = 1 << 4,
    KIVEL_MIME_CATEGORY_AUDIO = 1 << 5,
    KIVEL_MIME_CATEGORY_VIDEO = 1 << 6,
} KivelMimeCategory;

// The category of `mime_type` (nullable: OTHER), by its media type and a
// short list of known types; parameters after ";" are ignored.
KivelMimeCategory kivel_mime_get_category_for_mime_type(const gchar *mime_type);

// (transfer full) (nullable) The default application of `mime_type`.
GAppInfo *kivel_mime_get_default_application(const gchar *mime_type);

// Opens every text URI of `uris` (in order) with the default application of
// its type, one launch per application. `connection` is the platform
// context's bus connection (nullable; unused by opening through GIO).
// Returns KIVEL_MIME_OPEN_OK once every program started; NOT_ALLOWED for a
// URI that is no valid URI; NOT_SUPPORTED for a location the application
// cannot be handed; FAILED when an item has no application or a program
// could not start. Nothing is launched unless every item can be handed over.
gint kivel_mime_open_file_list(DBusConnection *connection, GSList *uris);

G_END_DECLS
