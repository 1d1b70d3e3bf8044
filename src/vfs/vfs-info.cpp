#include "vfs/vfs-info.h"

#include "vfs/glib-ptr.h"
#include "vfs/vfs-error.h"
#include "vfs/vfs-uri.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>

static const char kStatAttributes[] = G_FILE_ATTRIBUTE_STANDARD_NAME
    "," G_FILE_ATTRIBUTE_STANDARD_TYPE "," G_FILE_ATTRIBUTE_STANDARD_IS_SYMLINK
    "," G_FILE_ATTRIBUTE_STANDARD_SYMLINK_TARGET "," G_FILE_ATTRIBUTE_STANDARD_SIZE
    "," G_FILE_ATTRIBUTE_UNIX_MODE "," G_FILE_ATTRIBUTE_UNIX_DEVICE "," G_FILE_ATTRIBUTE_UNIX_INODE
    "," G_FILE_ATTRIBUTE_UNIX_NLINK "," G_FILE_ATTRIBUTE_UNIX_UID "," G_FILE_ATTRIBUTE_UNIX_GID
    "," G_FILE_ATTRIBUTE_TIME_MODIFIED "," G_FILE_ATTRIBUTE_TIME_ACCESS
    "," G_FILE_ATTRIBUTE_TIME_CHANGED;
static const char kAccessAttributes[] = G_FILE_ATTRIBUTE_ACCESS_CAN_READ
    "," G_FILE_ATTRIBUTE_ACCESS_CAN_WRITE "," G_FILE_ATTRIBUTE_ACCESS_CAN_EXECUTE;

UlvoVfsFileInfo *ulvo_vfs_file_info_new(void)
{
    return g_new0(UlvoVfsFileInfo, 1);
}

void ulvo_vfs_file_info_free(UlvoVfsFileInfo *info)
{
    if (!info)
        return;
    ulvo_vfs_file_info_clear(info);
    g_free(info);
}

void ulvo_vfs_file_info_clear(UlvoVfsFileInfo *info)
{
    g_return_if_fail(info != nullptr);
    g_free(info->name);
    g_free(info->symlink_name);
    g_free(info->mime_type);
    *info = UlvoVfsFileInfo{};
}

static std::string attributes_for(guint options)
{
    if (options & ULVO_VFS_FILE_INFO_NAME_ONLY)
        return G_FILE_ATTRIBUTE_STANDARD_NAME;
    std::string attributes = kStatAttributes;
    if (options & ULVO_VFS_FILE_INFO_GET_ACCESS_RIGHTS)
        attributes += std::string(",") + kAccessAttributes;
    if (options & ULVO_VFS_FILE_INFO_GET_MIME_TYPE) {
        attributes += ",";
        attributes += (options & ULVO_VFS_FILE_INFO_FORCE_FAST_MIME_TYPE)
                          ? G_FILE_ATTRIBUTE_STANDARD_FAST_CONTENT_TYPE
                          : G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE;
    }
    return attributes;
}

static UlvoVfsFileType file_type_of(GFileType type, guint32 mode)
{
    switch (type) {
    case G_FILE_TYPE_REGULAR:
        return ULVO_VFS_FILE_TYPE_REGULAR;
    case G_FILE_TYPE_DIRECTORY:
        return ULVO_VFS_FILE_TYPE_DIRECTORY;
    case G_FILE_TYPE_SYMBOLIC_LINK:
        return ULVO_VFS_FILE_TYPE_SYMBOLIC_LINK;
    case G_FILE_TYPE_SPECIAL:
        switch (mode & S_IFMT) {
        case S_IFIFO:
            return ULVO_VFS_FILE_TYPE_FIFO;
        case S_IFSOCK:
            return ULVO_VFS_FILE_TYPE_SOCKET;
        case S_IFCHR:
            return ULVO_VFS_FILE_TYPE_CHARACTER_DEVICE;
        case S_IFBLK:
            return ULVO_VFS_FILE_TYPE_BLOCK_DEVICE;
        default:
            return ULVO_VFS_FILE_TYPE_UNKNOWN;
        }
    default:
        return ULVO_VFS_FILE_TYPE_UNKNOWN;
    }
}

// access(2) lets root read and write whatever the mode says; a person who
// made a file read-only still means it, so root also needs the owner's bit.
static guint access_rights_of(GFileInfo *gio_info)
{
    struct Right {
        const char *attribute;
        guint owner_bit;
        guint access_bit;
    };
    static const Right rights[] = {
        {G_FILE_ATTRIBUTE_ACCESS_CAN_READ, ULVO_VFS_PERM_USER_READ, ULVO_VFS_PERM_ACCESS_READABLE},
        {G_FILE_ATTRIBUTE_ACCESS_CAN_WRITE, ULVO_VFS_PERM_USER_WRITE,
         ULVO_VFS_PERM_ACCESS_WRITABLE},
        {G_FILE_ATTRIBUTE_ACCESS_CAN_EXECUTE, ULVO_VFS_PERM_USER_EXEC,
         ULVO_VFS_PERM_ACCESS_EXECUTABLE},
    };
    bool privileged = geteuid() == 0;
    bool has_mode = g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_UNIX_MODE);
    guint32 mode = g_file_info_get_attribute_uint32(gio_info, G_FILE_ATTRIBUTE_UNIX_MODE);
    guint bits = 0;
    for (const Right &right : rights) {
        if (!g_file_info_get_attribute_boolean(gio_info, right.attribute))
            continue;
        if (privileged && has_mode && !(mode & right.owner_bit))
            continue;
        bits |= right.access_bit;
    }
    return bits;
}

static gchar *mime_type_of(GFileInfo *gio_info, guint options)
{
    const char *attribute = (options & ULVO_VFS_FILE_INFO_FORCE_FAST_MIME_TYPE)
                                ? G_FILE_ATTRIBUTE_STANDARD_FAST_CONTENT_TYPE
                                : G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE;
    const char *content_type = g_file_info_get_attribute_string(gio_info, attribute);
    if (!content_type)
        return nullptr;
    gchar *mime_type = g_content_type_get_mime_type(content_type);
    return mime_type ? mime_type : g_strdup(ULVO_VFS_MIME_TYPE_UNKNOWN);
}

static void fill_stat_fields(GFileInfo *gio_info, UlvoVfsFileInfo *info)
{
    guint32 mode = g_file_info_get_attribute_uint32(gio_info, G_FILE_ATTRIBUTE_UNIX_MODE);
    if (g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_STANDARD_TYPE)) {
        info->type = file_type_of(g_file_info_get_file_type(gio_info), mode);
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_TYPE;
    }
    if (g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_UNIX_MODE)) {
        info->permissions = mode & 07777;
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_PERMISSIONS;
    }
    info->flags = ULVO_VFS_FILE_FLAGS_LOCAL;
    if (g_file_info_get_attribute_boolean(gio_info, G_FILE_ATTRIBUTE_STANDARD_IS_SYMLINK))
        info->flags |= ULVO_VFS_FILE_FLAGS_SYMLINK;
    info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_FLAGS;
    if (g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_UNIX_DEVICE)) {
        info->device = g_file_info_get_attribute_uint32(gio_info, G_FILE_ATTRIBUTE_UNIX_DEVICE);
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_DEVICE;
    }
    if (g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_UNIX_INODE)) {
        info->inode = g_file_info_get_attribute_uint64(gio_info, G_FILE_ATTRIBUTE_UNIX_INODE);
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_INODE;
    }
    if (g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_UNIX_NLINK)) {
        info->link_count = g_file_info_get_attribute_uint32(gio_info, G_FILE_ATTRIBUTE_UNIX_NLINK);
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_LINK_COUNT;
    }
    if (g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_UNIX_UID) &&
        g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_UNIX_GID)) {
        info->uid = g_file_info_get_attribute_uint32(gio_info, G_FILE_ATTRIBUTE_UNIX_UID);
        info->gid = g_file_info_get_attribute_uint32(gio_info, G_FILE_ATTRIBUTE_UNIX_GID);
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_IDS;
    }
    if (g_file_info_has_attribute(gio_info, G_FILE_ATTRIBUTE_STANDARD_SIZE)) {
        info->size = guint64(g_file_info_get_size(gio_info));
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_SIZE;
    }
    struct Time {
        const char *attribute;
        gint64 *field;
        guint valid_bit;
    };
    const Time times[] = {
        {G_FILE_ATTRIBUTE_TIME_ACCESS, &info->atime, ULVO_VFS_FILE_INFO_FIELDS_ATIME},
        {G_FILE_ATTRIBUTE_TIME_MODIFIED, &info->mtime, ULVO_VFS_FILE_INFO_FIELDS_MTIME},
        {G_FILE_ATTRIBUTE_TIME_CHANGED, &info->ctime, ULVO_VFS_FILE_INFO_FIELDS_CTIME},
    };
    for (const Time &time : times) {
        if (g_file_info_has_attribute(gio_info, time.attribute)) {
            *time.field = gint64(g_file_info_get_attribute_uint64(gio_info, time.attribute));
            info->valid_fields |= time.valid_bit;
        }
    }
    const char *target = g_file_info_get_symlink_target(gio_info);
    if (target) {
        info->symlink_name = g_strdup(target);
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_SYMLINK_NAME;
    }
}

UlvoVfsResult ulvo_vfs_get_file_info(const char *text_uri, UlvoVfsFileInfo *info, guint options)
{
    g_return_val_if_fail(text_uri != nullptr, ULVO_VFS_ERROR_BAD_PARAMETERS);
    g_return_val_if_fail(info != nullptr, ULVO_VFS_ERROR_BAD_PARAMETERS);
    ulvo_vfs_file_info_clear(info);
    if (!ulvo_vfs_uri_is_valid(text_uri))
        return ULVO_VFS_ERROR_INVALID_URI;
    ulvo::GCharPtr path(ulvo_vfs_get_local_path_from_uri(text_uri));
    if (!path)
        return ULVO_VFS_ERROR_NOT_SUPPORTED;

    ulvo::GObjPtr<GFile> file(g_file_new_for_path(path.get()));
    GFileQueryInfoFlags flags = (options & ULVO_VFS_FILE_INFO_FOLLOW_LINKS)
                                    ? G_FILE_QUERY_INFO_NONE
                                    : G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS;
    ulvo::ErrorOut error;
    ulvo::GObjPtr<GFileInfo> gio_info(g_file_query_info(file.get(), attributes_for(options).c_str(),
                                                        flags, nullptr, error.out()));
    if (!gio_info)
        return ulvo_vfs_result_from_gerror(error.get());

    info->name = g_strdup(g_file_info_get_name(gio_info.get()));
    if (options & ULVO_VFS_FILE_INFO_NAME_ONLY)
        return ULVO_VFS_OK;
    fill_stat_fields(gio_info.get(), info);
    if (options & ULVO_VFS_FILE_INFO_GET_ACCESS_RIGHTS) {
        info->permissions |= access_rights_of(gio_info.get());
        info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_ACCESS;
    }
    if (options & ULVO_VFS_FILE_INFO_GET_MIME_TYPE) {
        info->mime_type = mime_type_of(gio_info.get(), options);
        if (info->mime_type)
            info->valid_fields |= ULVO_VFS_FILE_INFO_FIELDS_MIME_TYPE;
    }
    return ULVO_VFS_OK;
}
