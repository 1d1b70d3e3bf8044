// The top-level rows: the documents folder with its special folders, the
// memory cards, other removable media under /media, and gateways. Device
// roots follow the mount table; a newly mounted one is announced with
// "voldev-mounted".
#include "platform/fsmodel/kivel-fs-private.h"
#include "vfs/vfs-read.h"

#include <errno.h>
#include <glib/gstdio.h>
#include <string.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static const char *const CARD_1_PATH = "/media/mmc1";
static const char *const CARD_2_PATH = "/media/mmc2";
static const char *const MEDIA_PREFIX = "/media/";

struct FsSpecialFolder {
    const char *dir;
    int item_type;
    const char *title_id;
    FsIcon icon;
};

static const FsSpecialFolder SPECIAL_FOLDERS[] = {
    {".images", KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_IMAGES, "sfil_li_folder_images",
     FS_ICON_FOLDER_IMAGES},
    {".videos", KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_VIDEOS, "sfil_li_folder_video_clips",
     FS_ICON_FOLDER_VIDEOS},
    {".sounds", KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_SOUNDS, "sfil_li_folder_sound_clips",
     FS_ICON_FOLDER_SOUNDS},
    {".documents", KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_DOCUMENTS, "sfil_li_folder_documents",
     FS_ICON_FOLDER_DOCUMENTS},
    {".camera", KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_CAMERA, "sfil_li_folder_camera",
     FS_ICON_FOLDER_CAMERA},
};

int fs_special_folder_type(FsNode *parent, const gchar *name)
{
    if (!parent || parent->rank != FS_RANK_DOCUMENTS || !name || name[0] != '.')
        return 0;
    for (const FsSpecialFolder &special : SPECIAL_FOLDERS)
        if (strcmp(special.dir, name) == 0)
            return special.item_type;
    return 0;
}

static const FsSpecialFolder *special_folder(int item_type)
{
    for (const FsSpecialFolder &special : SPECIAL_FOLDERS)
        if (special.item_type == item_type)
            return &special;
    return nullptr;
}

const gchar *fs_special_folder_title(int item_type)
{
    const FsSpecialFolder *special = special_folder(item_type);
    return special ? special->title_id : nullptr;
}

FsIcon fs_special_folder_icon(int item_type)
{
    const FsSpecialFolder *special = special_folder(item_type);
    return special ? special->icon : FS_ICON_FOLDER;
}

// ---- the documents folder ----

// (transfer full)
static gchar *documents_path(void)
{
    return g_build_filename(g_get_home_dir(), "MyDocs", nullptr);
}

// Creates the documents folder and its special folders where missing.
static void ensure_documents_folder(const gchar *path)
{
    if (g_mkdir_with_parents(path, 0755) != 0) {
        g_log(FS_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "Cannot create %s: %s", path, g_strerror(errno));
        return;
    }
    for (const FsSpecialFolder &special : SPECIAL_FOLDERS) {
        gchar *dir = g_build_filename(path, special.dir, nullptr);
        if (!g_file_test(dir, G_FILE_TEST_IS_DIR) && g_mkdir(dir, 0755) != 0)
            g_log(FS_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "Cannot create %s: %s", dir,
                  g_strerror(errno));
        g_free(dir);
    }
}

// ---- device roots ----

enum FsPresence {
    FS_ROW_ALWAYS,       // the documents folder
    FS_ROW_WHEN_FOLDER,  // a card slot: while its folder exists or something is mounted there
    FS_ROW_WHEN_MOUNTED, // other media: while mounted
};

struct FsRootPlace {
    const gchar *path;
    FsRank rank;
    int item_type;
    FsIcon icon;
    const gchar *title_id; // shown when the volume has no label
    FsPresence presence;
};

// (transfer none) (nullable) The entry mounted last at `path`.
static GUnixMountEntry *mount_at(GList *mounts, const gchar *path)
{
    GUnixMountEntry *found = nullptr;
    for (GList *l = mounts; l; l = l->next) {
        auto *entry = static_cast<GUnixMountEntry *>(l->data);
        if (strcmp(g_unix_mount_get_mount_path(entry), path) == 0)
            found = entry;
    }
    return found;
}

// (transfer full) (nullable) The name the owner gave the device
// (PRETTY_HOSTNAME of the machine information file); the documents folder is
// shown under it. NULL when none is set: the catalog's title stands in.
static gchar *device_name(void)
{
    gchar *contents = nullptr;
    gsize length = 0;
    const gchar *file = g_getenv("ULVO_MACHINE_INFO");
    if (!ulvo_vfs_read_regular_file(file ? file : "/etc/machine-info", 64 * 1024, &contents,
                                    &length, nullptr))
        return nullptr;
    gchar *name = nullptr;
    gchar **lines = g_strsplit(contents, "\n", -1);
    for (gchar **line = lines; *line && !name; line++) {
        if (!g_str_has_prefix(*line, "PRETTY_HOSTNAME="))
            continue;
        gchar *value = g_strstrip(g_strdup(*line + strlen("PRETTY_HOSTNAME=")));
        gchar *unquoted = g_shell_unquote(value, nullptr);
        g_free(value);
        if (unquoted && *unquoted && g_utf8_validate(unquoted, -1, nullptr))
            name = unquoted;
        else
            g_free(unquoted);
    }
    g_strfreev(lines);
    g_free(contents);
    return name;
}

// (transfer full) (nullable) The label of the volume mounted at `path`; when
// it has none and `any_name`, the name the volume monitor gives the mount.
static gchar *volume_name(KivelFileSystemModel *model, const gchar *path, bool any_name)
{
    if (!model->volume_monitor)
        return nullptr;
    gchar *found = nullptr;
    GList *mounts = g_volume_monitor_get_mounts(model->volume_monitor);
    for (GList *l = mounts; l && !found; l = l->next) {
        GMount *mount = G_MOUNT(l->data);
        GFile *root = g_mount_get_root(mount);
        gchar *root_path = g_file_get_path(root);
        if (g_strcmp0(root_path, path) == 0) {
            GVolume *volume = g_mount_get_volume(mount);
            if (volume) {
                found = g_volume_get_identifier(volume, G_VOLUME_IDENTIFIER_KIND_LABEL);
                g_object_unref(volume);
            }
            if ((!found || !*found) && any_name) {
                g_free(found);
                found = g_mount_get_name(mount);
            }
        }
        g_free(root_path);
        g_object_unref(root);
    }
    g_list_free_full(mounts, g_object_unref);
    if (found && !*found)
        g_clear_pointer(&found, g_free);
    return found;
}

static FsNode *top_level_row(KivelFileSystemModel *model, const gchar *uri)
{
    if (!model->root->children)
        return nullptr;
    for (GSequenceIter *it = g_sequence_get_begin_iter(model->root->children);
         !g_sequence_iter_is_end(it); it = g_sequence_iter_next(it)) {
        auto *row = static_cast<FsNode *>(g_sequence_get(it));
        if (strcmp(row->uri, uri) == 0)
            return row;
    }
    return nullptr;
}

static void insert_top_level(KivelFileSystemModel *model, FsNode *row)
{
    FsNode *before = nullptr;
    if (model->root->children) {
        for (GSequenceIter *it = g_sequence_get_begin_iter(model->root->children);
             !g_sequence_iter_is_end(it) && !before; it = g_sequence_iter_next(it)) {
            auto *other = static_cast<FsNode *>(g_sequence_get(it));
            if (other->rank > row->rank)
                before = other;
        }
    }
    fs_model_insert(model, model->root, row, before);
}

// Brings the columns of a device root up to date; TRUE when any changed.
static bool update_device_root(FsNode *row, const gchar *path, GUnixMountEntry *entry,
                               const gchar *label, const gchar *title_id)
{
    GStatBuf st;
    bool is_dir = g_stat(path, &st) == 0 && S_ISDIR(st.st_mode);
    bool mounted = entry != nullptr;
    if (mounted)
        row->seen_mounted = true;
    // Once something was mounted here, the slot is usable only while mounted.
    guint8 available =
        is_dir && g_access(path, R_OK | X_OK) == 0 && (mounted || !row->seen_mounted);
    gint64 mtime = is_dir ? gint64(st.st_mtime) : 0;
    bool readonly = is_dir && !(st.st_mode & S_IWUSR);
    const gchar *device = entry ? g_unix_mount_get_device_path(entry) : nullptr;
    const gchar *title = label ? nullptr : title_id;

    bool changed = row->available != available || row->mtime != mtime ||
                   row->readonly != readonly || row->mounted != mounted ||
                   g_strcmp0(row->device, device) != 0 || g_strcmp0(row->display, label) != 0 ||
                   row->title_id != title;
    row->available = available;
    row->mtime = mtime;
    row->readonly = readonly;
    row->mounted = mounted;
    row->title_id = title;
    if (g_strcmp0(row->device, device) != 0) {
        g_free(row->device);
        row->device = g_strdup(device);
    }
    if (g_strcmp0(row->display, label) != 0) {
        g_free(row->display);
        row->display = g_strdup(label);
    }
    return changed;
}

static FsNode *new_device_root(const FsRootPlace &place, gchar *uri)
{
    FsNode *row = fs_node_new(uri, g_path_get_basename(place.path));
    row->rank = place.rank;
    row->item_type = guint8(place.item_type);
    row->icon = place.icon;
    row->is_folder = true;
    row->mime = g_intern_static_string("inode/directory");
    return row;
}

static void sync_root(KivelFileSystemModel *model, GList *mounts, const FsRootPlace &place,
                      bool announce)
{
    gchar *uri = g_filename_to_uri(place.path, nullptr, nullptr);
    if (!uri)
        return;
    GUnixMountEntry *entry = mount_at(mounts, place.path);
    FsNode *row = top_level_row(model, uri);
    bool present =
        place.presence == FS_ROW_ALWAYS || entry ||
        (place.presence == FS_ROW_WHEN_FOLDER && g_file_test(place.path, G_FILE_TEST_IS_DIR));
    if (!present) {
        if (row)
            fs_model_remove(model, row);
        g_free(uri);
        return;
    }

    bool is_new = row == nullptr;
    if (is_new)
        row = new_device_root(place, uri);
    else
        g_free(uri);
    bool was_mounted = row->mounted;
    gchar *label = nullptr;
    if (place.rank == FS_RANK_DOCUMENTS)
        label = device_name();
    else if (entry)
        label = volume_name(model, place.path, place.presence == FS_ROW_WHEN_MOUNTED);
    if (!label && place.presence == FS_ROW_WHEN_MOUNTED)
        label = g_path_get_basename(place.path);
    bool changed = update_device_root(row, place.path, entry, label, place.title_id);
    g_free(label);

    if (is_new) {
        insert_top_level(model, row);
    } else {
        if (row->folder && (!row->available || row->mounted != was_mounted)) {
            // Another file system, or none, is there now: what was read and
            // watched belongs to the one before.
            fs_model_unload(model, row);
            if (row->available)
                fs_load_children(model, row);
        }
        if (changed)
            fs_model_row_changed(model, row);
    }
    if (announce && row->mounted && !was_mounted)
        fs_model_emit_voldev_mounted(model, row->uri);
}

static bool is_other_media_path(const gchar *path)
{
    return g_str_has_prefix(path, MEDIA_PREFIX) && !fs_uri_is_at_or_below(CARD_1_PATH, path) &&
           !fs_uri_is_at_or_below(CARD_2_PATH, path);
}

static void sync_other_media(KivelFileSystemModel *model, GList *mounts, bool announce)
{
    std::vector<std::string> paths;
    for (GList *l = mounts; l; l = l->next) {
        const gchar *path = g_unix_mount_get_mount_path(static_cast<GUnixMountEntry *>(l->data));
        if (is_other_media_path(path))
            paths.emplace_back(path);
    }
    // Rows of media that went away; their URIs are copied first, as removing
    // a row frees it.
    std::vector<std::string> gone;
    for (GSequenceIter *it = g_sequence_get_begin_iter(model->root->children);
         !g_sequence_iter_is_end(it); it = g_sequence_iter_next(it)) {
        auto *row = static_cast<FsNode *>(g_sequence_get(it));
        if (row->rank == FS_RANK_REMOVABLE)
            gone.emplace_back(row->uri);
    }
    for (const std::string &uri : gone) {
        gchar *path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
        bool still = path && mount_at(mounts, path);
        g_free(path);
        FsNode *row = top_level_row(model, uri.c_str());
        if (!still && row)
            fs_model_remove(model, row);
    }
    for (const std::string &path : paths) {
        FsRootPlace place = {path.c_str(),      FS_RANK_REMOVABLE, KIVEL_FILE_SYSTEM_MODEL_MMC,
                             FS_ICON_REMOVABLE, nullptr,           FS_ROW_WHEN_MOUNTED};
        sync_root(model, mounts, place, announce);
    }
}

// Bluetooth gateways and network shares are listed only when they are
// configured; this device configures none.
static void add_configured_gateways(KivelFileSystemModel *) {}

static void sync_all(KivelFileSystemModel *model, bool announce)
{
    GList *mounts = g_unix_mounts_get(nullptr);
    gchar *documents = documents_path();
    const FsRootPlace roots[] = {
        {documents, FS_RANK_DOCUMENTS, KIVEL_FILE_SYSTEM_MODEL_LOCAL_DEVICE, FS_ICON_DOCUMENTS_ROOT,
         "sfil_li_root_mydocs", FS_ROW_ALWAYS},
        {CARD_1_PATH, FS_RANK_CARD_1, KIVEL_FILE_SYSTEM_MODEL_MMC, FS_ICON_MEMORY_CARD,
         "sfil_li_memory_card", FS_ROW_WHEN_FOLDER},
        {CARD_2_PATH, FS_RANK_CARD_2, KIVEL_FILE_SYSTEM_MODEL_MMC, FS_ICON_MEMORY_CARD,
         "sfil_li_memory_card_2", FS_ROW_WHEN_FOLDER},
    };
    for (const FsRootPlace &place : roots)
        sync_root(model, mounts, place, announce);
    sync_other_media(model, mounts, announce);
    g_free(documents);
    g_list_free_full(mounts, reinterpret_cast<GDestroyNotify>(g_unix_mount_free));
}

static void on_mounts_changed(GUnixMountMonitor *, gpointer data)
{
    gdk_threads_enter();
    sync_all(KIVEL_FILE_SYSTEM_MODEL(data), true);
    gdk_threads_leave();
}

static void on_volume_mounts_changed(GVolumeMonitor *, GMount *, gpointer data)
{
    gdk_threads_enter();
    sync_all(KIVEL_FILE_SYSTEM_MODEL(data), true);
    gdk_threads_leave();
}

void fs_roots_volume_went_away(KivelFileSystemModel *model, const gchar *uri)
{
    sync_all(model, true);
    // The mount table may show a card again at the same place by now: what
    // was read belongs to the one taken out, whatever the table says.
    FsNode *holder = fs_roots_find_holder(model, uri);
    if (!holder || !holder->folder)
        return;
    fs_model_unload(model, holder);
    if (holder->available)
        fs_load_children(model, holder);
}

void fs_roots_init(KivelFileSystemModel *model)
{
    gchar *documents = documents_path();
    ensure_documents_folder(documents);
    g_free(documents);

    model->volume_monitor = g_volume_monitor_get();
    model->mount_monitor = g_unix_mount_monitor_get();
    sync_all(model, false);
    add_configured_gateways(model);

    g_signal_connect(model->mount_monitor, "mounts-changed", G_CALLBACK(on_mounts_changed), model);
    for (const char *signal : {"mount-added", "mount-removed", "mount-changed"})
        g_signal_connect(model->volume_monitor, signal, G_CALLBACK(on_volume_mounts_changed),
                         model);
}

void fs_roots_shutdown(KivelFileSystemModel *model)
{
    if (model->mount_monitor) {
        g_signal_handlers_disconnect_by_data(model->mount_monitor, model);
        g_clear_object(&model->mount_monitor);
    }
    if (model->volume_monitor) {
        g_signal_handlers_disconnect_by_data(model->volume_monitor, model);
        g_clear_object(&model->volume_monitor);
    }
}

FsNode *fs_roots_find_holder(KivelFileSystemModel *model, const gchar *uri)
{
    if (!uri || !model->root || !model->root->children)
        return nullptr;
    FsNode *best = nullptr;
    for (GSequenceIter *it = g_sequence_get_begin_iter(model->root->children);
         !g_sequence_iter_is_end(it); it = g_sequence_iter_next(it)) {
        auto *row = static_cast<FsNode *>(g_sequence_get(it));
        if (fs_uri_is_at_or_below(row->uri, uri) && (!best || strlen(row->uri) > strlen(best->uri)))
            best = row;
    }
    return best;
}
