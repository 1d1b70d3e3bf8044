#include "vfs/vfs-names.h"

#include "vfs/glib-ptr.h"

#include <gio/gio.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>

namespace
{

const char kGlobFile[] = "/usr/share/mime/globs";
// Lines longer than this arrive in pieces, each taken as a line.
const int kGlobLineBytes = 256;
const int kNumberTries = 1000;
// More digits than an int holds with room to count on are no automatic number.
const gsize kMaxNumberDigits = 9;

struct GlobRecord {
    std::string extension; // from the pattern's dot on
    std::string mime_type;
};

// Longest extension first; among equal lengths the later line first.
std::vector<GlobRecord> g_globs;
G_LOCK_DEFINE_STATIC(globs);

bool parse_glob_piece(char *piece, GlobRecord *record)
{
    if (piece[0] == '\0' || piece[0] == '#')
        return false;
    gsize len = strlen(piece);
    if (piece[len - 1] == '\n')
        piece[len - 1] = '\0';
    char *colon = strstr(piece, ":*.");
    if (!colon)
        return false;
    *colon = '\0';
    record->mime_type = piece;
    record->extension = colon + 2;
    return true;
}

// Fills the cache; a missing or unreadable file leaves it empty.
void load_globs()
{
    FILE *file = fopen(kGlobFile, "rt");
    if (!file)
        return;
    std::vector<GlobRecord> lines;
    char piece[kGlobLineBytes];
    GlobRecord record;
    while (fgets(piece, sizeof piece, file))
        if (parse_glob_piece(piece, &record))
            lines.push_back(record);
    fclose(file);
    std::reverse(lines.begin(), lines.end());
    std::stable_sort(lines.begin(), lines.end(), [](const GlobRecord &a, const GlobRecord &b) {
        return a.extension.size() > b.extension.size();
    });
    g_globs = std::move(lines);
}

// The name's type from its name alone, or NULL when it is unknown.
gchar *mime_type_of_name(const char *name)
{
    ulvo::GCharPtr type(g_content_type_guess(name, nullptr, 0, nullptr));
    gchar *mime = type ? g_content_type_get_mime_type(type.get()) : nullptr;
    if (!mime || g_ascii_strcasecmp(mime, "application/octet-stream") == 0) {
        g_free(mime);
        return nullptr;
    }
    return mime;
}

const char *glob_extension(const char *name, const char *mime)
{
    gsize len = strlen(name);
    G_LOCK(globs);
    if (g_globs.empty())
        load_globs();
    const char *found = nullptr;
    for (const GlobRecord &record : g_globs) {
        if (g_ascii_strcasecmp(mime, record.mime_type.c_str()) != 0)
            continue;
        gsize n = record.extension.size();
        if (n <= len && g_ascii_strcasecmp(name + len - n, record.extension.c_str()) == 0) {
            found = name + len - n;
            break;
        }
    }
    G_UNLOCK(globs);
    return found;
}

} // namespace

const char *ulvo_vfs_name_get_extension(const char *name)
{
    g_return_val_if_fail(name != nullptr, nullptr);
    ulvo::GCharPtr mime(mime_type_of_name(name));
    if (!mime)
        return nullptr;
    const char *extension = glob_extension(name, mime.get());
    if (!extension)
        extension = strrchr(name, '.');
    // A hidden file's name is all name.
    return extension == name ? nullptr : extension;
}

gboolean ulvo_vfs_name_find_autonumber(const char *name, gsize length, gsize *base_length,
                                       int *number)
{
    g_return_val_if_fail(name != nullptr, FALSE);
    if (length < 3 || name[length - 1] != ')')
        return FALSE;
    gsize close = length - 1;
    gsize open = close;
    while (open > 0 && g_ascii_isdigit(name[open - 1]))
        open--;
    if (open < 2 || name[open - 1] != '(' || name[open - 2] != ' ' ||
        close - open > kMaxNumberDigits)
        return FALSE;
    if (base_length)
        *base_length = open - 2;
    if (number) {
        std::string digits(name + open, close - open);
        *number = int(g_ascii_strtoull(digits.c_str(), nullptr, 10));
    }
    return TRUE;
}

gchar *ulvo_vfs_name_with_number(const char *base, gsize base_length, int number,
                                 const char *extension)
{
    g_return_val_if_fail(base != nullptr, nullptr);
    ulvo::GCharPtr suffix(g_strdup_printf(" (%d)%s", number, extension ? extension : ""));
    gsize tail = strlen(suffix.get());
    gsize room = ULVO_VFS_NAME_MAX > tail ? ULVO_VFS_NAME_MAX - tail : 0;
    gsize keep = std::min(base_length, room);
    // Never leave half of a UTF-8 character behind.
    if (keep < base_length)
        while (keep > 0 && (base[keep] & 0xC0) == 0x80)
            keep--;
    std::string name(base, keep);
    return g_strconcat(name.c_str(), suffix.get(), nullptr);
}

gchar *ulvo_vfs_name_next_free(const char *name, const char *extension, UlvoVfsNameTakenFunc taken,
                               gpointer data)
{
    g_return_val_if_fail(name != nullptr, nullptr);
    g_return_val_if_fail(taken != nullptr, nullptr);
    // An extension that leaves no room for the number belongs to the base.
    if (extension && strlen(extension) + strlen(" (1000000000)") > ULVO_VFS_NAME_MAX)
        extension = nullptr;
    gsize base_length = extension ? gsize(extension - name) : strlen(name);
    int number = 0;
    ulvo_vfs_name_find_autonumber(name, base_length, &base_length, &number);
    for (int i = 1; i <= kNumberTries; i++) {
        gchar *candidate = ulvo_vfs_name_with_number(name, base_length, number + i, extension);
        if (!taken(candidate, data))
            return candidate;
        g_free(candidate);
    }
    return nullptr;
}
