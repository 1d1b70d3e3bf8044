// Free names: "name (1).ext", "name (2).ext", ... in the folder of a
// location, the way the application numbers its own unique names.
#include "platform/kivel-fs-private.h"

#include <cstdlib>
#include <string.h>
#include <string>

// How many numbers are tried before giving up.
static const int FS_AUTONAME_TRIES = 1000;
// The longest file name most file systems take, in bytes.
static const gsize FS_NAME_MAX = 255;

static bool location_taken(const gchar *uri)
{
    GFile *file = g_file_new_for_uri(uri);
    // A dangling link takes its name too.
    GFileType type = g_file_query_file_type(file, G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr);
    g_object_unref(file);
    return type != G_FILE_TYPE_UNKNOWN;
}

static bool location_is_folder(const gchar *uri)
{
    GFile *file = g_file_new_for_uri(uri);
    GFileType type = g_file_query_file_type(file, G_FILE_QUERY_INFO_NONE, nullptr);
    g_object_unref(file);
    return type == G_FILE_TYPE_DIRECTORY;
}

// Where the extension of a file name begins, or NULL. Compressed tar
// archives keep ".tar.gz" (and the like) whole; a leading dot is no
// extension.
static const gchar *name_extension(const gchar *name)
{
    const gchar *dot = strrchr(name, '.');
    if (!dot || dot == name || dot[1] == '\0')
        return nullptr;
    if (dot - name > 4 && strlen(dot) <= 5 && g_ascii_strncasecmp(dot - 4, ".tar", 4) == 0)
        return dot - 4;
    return dot;
}

// Strips a trailing automatic number (" (12)") off `base` and gives it.
static int strip_autonumber(std::string *base)
{
    if (base->size() < 4 || base->back() != ')')
        return 0;
    gsize close = base->size() - 1;
    gsize open = close;
    while (open > 0 && g_ascii_isdigit((*base)[open - 1]))
        open--;
    if (open < 2 || (*base)[open - 1] != '(' || (*base)[open - 2] != ' ' || close - open > 6)
        return 0;
    int number = close > open ? atoi(base->substr(open, close - open).c_str()) : 0;
    base->erase(open - 2);
    return number;
}

// Shortens `base` at a character boundary so that it and `tail` fit a name.
static void fit_name(std::string *base, gsize tail)
{
    if (base->size() + tail <= FS_NAME_MAX)
        return;
    gsize room = FS_NAME_MAX > tail ? FS_NAME_MAX - tail : 0;
    const gchar *start = base->c_str();
    const gchar *end = start + room;
    while (end > start && (*end & 0xC0) == 0x80)
        end--;
    base->resize(gsize(end - start));
}

gchar *kivel_file_system_model_autoname_uri(KivelFileSystemModel *model, const gchar *uri,
                                            GError **error)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model), nullptr);
    g_return_val_if_fail(uri != nullptr, nullptr);
    gchar *location = fs_canonical_uri(uri);
    gchar *folder = fs_uri_parent(location);
    const gchar *last = location ? strrchr(location, '/') : nullptr;
    gchar *name = last ? g_uri_unescape_string(last + 1, "/") : nullptr;
    if (!folder || !name || !*name) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT, "Not a name in a folder: %s",
                    uri);
        g_free(location);
        g_free(folder);
        g_free(name);
        return nullptr;
    }
    if (!location_taken(location)) {
        g_free(folder);
        g_free(name);
        return location;
    }

    const gchar *dot = location_is_folder(location) ? nullptr : name_extension(name);
    std::string extension = dot ? dot : "";
    std::string base(name, dot ? gsize(dot - name) : strlen(name));
    int number = strip_autonumber(&base);
    gchar *found = nullptr;
    for (int i = 1; i <= FS_AUTONAME_TRIES && !found; i++) {
        gchar *suffix = g_strdup_printf(" (%d)%s", number + i, extension.c_str());
        std::string candidate = base;
        fit_name(&candidate, strlen(suffix));
        candidate += suffix;
        g_free(suffix);
        gchar *candidate_uri = fs_child_uri(folder, candidate.c_str());
        if (candidate_uri && !location_taken(candidate_uri))
            found = candidate_uri;
        else
            g_free(candidate_uri);
    }
    if (!found)
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_FAILED, "No free name for %s in %s", name,
                    folder);
    g_free(location);
    g_free(folder);
    g_free(name);
    return found;
}
