// What runs on the transfer's own thread: the free-space check once the
// sources are counted, the bookkeeping of finished items, and the end.
#include "app/ulvo-fm-app.h"
#include "model/app-record.h"
#include "model/location.h"
#include "model/paths.h"
#include "ops/xfer-progress.h"
#include "ops/xfer.h"
#include "platform/fsmodel/kivel-file-system-model.h"
#include "platform/services/kivel-thumbnail.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <unistd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <string>

using ulvo::GCharPtr;

// Kept free on internal storage, where the system itself must still write.
static const guint64 internal_storage_reserve = 2465792;

// Guards the completion steps against a second COMPLETED of one transfer.
static gboolean completion_handled = FALSE;

static XferReportObserver report_observer = nullptr;
static gpointer report_observer_data = nullptr;

void xfer_set_report_observer(XferReportObserver observer, gpointer data)
{
    report_observer = observer;
    report_observer_data = data;
}

// ---- Free space ------------------------------------------------------------

static GCharPtr first_path(GList *uris)
{
    return GCharPtr(uris ? g_file_get_path(static_cast<GFile *>(uris->data)) : nullptr);
}

// TRUE when a move stays on one file system, where it renames and needs no
// room.
static gboolean move_stays_on_device(XferData *cdata, const gchar *target_folder)
{
    GCharPtr source(first_path(cdata->source_uris));
    struct stat source_st, target_st;
    return source && stat(source.get(), &source_st) == 0 && stat(target_folder, &target_st) == 0 &&
           source_st.st_dev == target_st.st_dev;
}

// FALSE when the target cannot hold `required` bytes beside its reserve.
static gboolean target_has_room(XferData *cdata, guint64 required)
{
    if (cdata->kind != XFER_COPY && cdata->kind != XFER_MOVE)
        return TRUE;
    GCharPtr target_uri(cdata->target_uris
                            ? xfer_uri_text(static_cast<GFile *>(cdata->target_uris->data))
                            : nullptr);
    if (!target_uri || ulvo_fm_uri_is_in_gateway(target_uri.get()))
        return TRUE;
    GCharPtr target(first_path(cdata->target_uris));
    GCharPtr folder(target ? g_path_get_dirname(target.get()) : nullptr);
    if (!folder)
        return TRUE;
    if (cdata->kind == XFER_MOVE && move_stays_on_device(cdata, folder.get()))
        return TRUE;
    struct statvfs st;
    if (statvfs(folder.get(), &st) != 0) {
        g_warning("\nError getting capacity : %s\n", strerror(errno));
        return TRUE;
    }
    guint64 available = static_cast<guint64>(st.f_bavail) * st.f_frsize;
    if (!ulvo_fm_uri_is_in_mmc(target_uri.get(), nullptr))
        available = available > internal_storage_reserve ? available - internal_storage_reserve : 0;
    return required <= available;
}

// ---- Finished items --------------------------------------------------------

static void note_finished_item(XferData *cdata, const UlvoVfsXferProgressInfo *info)
{
    if (!info->top_level_item || !info->source_name || !info->target_name)
        return;
    g_hash_table_add(cdata->completed_sources, g_strdup(info->source_name));
}

// ---- Target folder ---------------------------------------------------------

static gboolean writes_targets(const XferData *cdata)
{
    return cdata->kind == XFER_COPY || cdata->kind == XFER_MOVE;
}

// Takes note of the folder the targets go to, before anything is written.
static void remember_target_folder(XferData *cdata)
{
    GCharPtr target(first_path(cdata->target_uris));
    struct stat st;
    if (!writes_targets(cdata) || !target)
        return;
    GCharPtr folder(g_path_get_dirname(target.get()));
    if (stat(folder.get(), &st) != 0)
        return;
    g_free(cdata->target_folder);
    cdata->target_folder = folder.release();
    cdata->target_folder_device = st.st_dev;
    cdata->target_folder_inode = st.st_ino;
}

// FALSE when the folder the transfer began with is no longer at its path:
// deleted, or its card pulled, so that what is written now would land
// beneath the card's mount point.
static gboolean target_folder_in_place(const XferData *cdata)
{
    struct stat st;
    if (!cdata->target_folder)
        return TRUE;
    return stat(cdata->target_folder, &st) == 0 && st.st_dev == cdata->target_folder_device &&
           st.st_ino == cdata->target_folder_inode;
}

static gboolean touches_target(const UlvoVfsXferProgressInfo *info)
{
    return info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OK &&
           (info->phase == ULVO_VFS_XFER_PHASE_OPENTARGET ||
            info->phase == ULVO_VFS_XFER_PHASE_CLOSETARGET ||
            info->phase == ULVO_VFS_XFER_PHASE_MOVING);
}

// ---- Completion ------------------------------------------------------------

// Leftover temporaries of the file that was being written when the transfer
// stopped. The final name is never touched: under it lies either nothing or
// a file this transfer did not write.
static void remove_partial_file(XferData *cdata)
{
    if (g_list_length(cdata->partial_file) == 2 && cdata->cancelled) {
        auto *target = static_cast<const gchar *>(cdata->partial_file->data);
        GCharPtr path(ulvo_vfs_get_local_path_from_uri(target));
        GCharPtr folder(path ? g_path_get_dirname(path.get()) : nullptr);
        GCharPtr name(path ? g_path_get_basename(path.get()) : nullptr);
        DIR *dir = folder ? opendir(folder.get()) : nullptr;
        std::string prefix = std::string(".") + (name ? name.get() : "") + ".";
        for (struct dirent *entry; dir && (entry = readdir(dir));) {
            if (strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0 ||
                !ulvo_vfs_xfer_is_partial_name(entry->d_name))
                continue;
            std::string leftover = std::string(folder.get()) + "/" + entry->d_name;
            if (unlink(leftover.c_str()) != 0)
                g_warning("Error in deleting partial file\n");
        }
        if (dir)
            closedir(dir);
    }
    g_list_free_full(cdata->partial_file, g_free);
    cdata->partial_file = nullptr;
}

// Sources of a stopped or shortened move whose targets are in place. Only
// items the file layer reported as finished qualify: a target that was
// there before, or one left incomplete, must not cost the source.
static void sweep_moved_sources(XferData *cdata)
{
    if (!(cdata->cancelled || cdata->sweep_sources) || cdata->kind != XFER_MOVE)
        return;
    for (GList *s = cdata->source_uris, *t = cdata->target_uris; s && t; s = s->next, t = t->next) {
        auto *source = static_cast<GFile *>(s->data);
        auto *target = static_cast<GFile *>(t->data);
        GCharPtr text(xfer_uri_text(source));
        if (!g_hash_table_contains(cdata->completed_sources, text.get()) ||
            !g_file_query_exists(source, nullptr) || !g_file_query_exists(target, nullptr))
            continue;
        ulvo::ErrorOut error;
        // A folder that still holds something was not moved whole.
        if (!g_file_delete(source, nullptr, error.out()) &&
            !g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_NOT_EMPTY))
            g_warning("Error in deleting src file\n");
    }
}

void xfer_update_thumbnails(GList *sources, GList *targets, XferKind kind)
{
    for (GList *s = sources, *t = targets; s && t; s = s->next, t = t->next) {
        auto *source = static_cast<GFile *>(s->data);
        auto *target = static_cast<GFile *>(t->data);
        GCharPtr source_text(xfer_uri_text(source));
        GCharPtr target_text(xfer_uri_text(target));
        switch (kind) {
        case XFER_MOVE:
        case XFER_RENAME:
            if (g_file_query_exists(target, nullptr))
                kivel_thumbnail_factory_move(source_text.get(), target_text.get());
            break;
        case XFER_COPY:
            if (g_file_query_exists(target, nullptr))
                kivel_thumbnail_factory_copy(source_text.get(), target_text.get());
            break;
        case XFER_DELETE:
            if (!g_file_query_exists(source, nullptr))
                kivel_thumbnail_factory_remove(source_text.get());
            break;
        }
    }
}

static void reload_targets(XferData *cdata)
{
    if (!global_ofm || !global_ofm->file_selection)
        return;
    KivelFileSystemModel *model = nullptr;
    g_object_get(global_ofm->file_selection, "model", &model, NULL);
    if (!model)
        return;
    for (GList *t = cdata->target_uris; t; t = t->next) {
        GCharPtr path(ulvo_fm_uri_to_path(static_cast<GFile *>(t->data)));
        if (path)
            kivel_file_system_model_load_path(model, path.get(), nullptr);
    }
    g_object_unref(model);
}

static void record_left_out_items(XferData *cdata)
{
    if (cdata->error_text || cdata->excluded_count < 1)
        return;
    const gchar *button = xfer_text("kivel-common-strings", "sfil_ni_operation_failed_ok");
    if (cdata->kind == XFER_MOVE && cdata->excluded_count > cdata->skipped_count)
        xfer_set_error(cdata, 1, FALSE,
                       xfer_text("ulvo-filemanager", "sfil_ni_cannot_move_some_items"), button);
    else if (cdata->kind == XFER_DELETE)
        xfer_set_error(cdata, 1, FALSE,
                       xfer_text("ulvo-filemanager", "sfil_ni_cannot_delete_some_items"), button);
}

struct DeferredNotice {
    GtkWindow *window;
    gchar *text;
    gchar *button_text;
};

static gboolean xfer_show_deferred_notice(gpointer data)
{
    auto *notice = static_cast<DeferredNotice *>(data);
    GtkWindow *window = GTK_IS_WINDOW(notice->window) ? notice->window : nullptr;
    if (notice->button_text)
        fm_infonote(window, notice->text, notice->button_text);
    else
        fm_infoprint(window, notice->text);
    if (notice->window)
        g_object_remove_weak_pointer(G_OBJECT(notice->window),
                                     reinterpret_cast<gpointer *>(&notice->window));
    g_free(notice->text);
    g_free(notice->button_text);
    g_free(notice);
    return FALSE;
}

static void schedule_notice(XferData *cdata)
{
    auto *notice = g_new0(DeferredNotice, 1);
    notice->window = cdata->parent_window;
    // The window may be gone by the time the notice shows.
    if (notice->window)
        g_object_add_weak_pointer(G_OBJECT(notice->window),
                                  reinterpret_cast<gpointer *>(&notice->window));
    notice->text = g_strdup(cdata->error_text);
    notice->button_text = cdata->error_kind == 1 ? g_strdup(cdata->error_button_text) : nullptr;
    gdk_threads_add_timeout(100, xfer_show_deferred_notice, notice);
}

static gboolean wrote_nothing(XferData *cdata, const UlvoVfsXferProgressInfo *info)
{
    // A recorded notice tells why, better than this.
    if (cdata->cancelled || cdata->error_text)
        return FALSE;
    return info->files_total == 0 ||
           (cdata->skipped_count > 0 && g_hash_table_size(cdata->completed_sources) == 0);
}

static void complete(XferData *cdata)
{
    remove_partial_file(cdata);
    sweep_moved_sources(cdata);
    if (!cdata->cancelled && !cdata->error_text) {
        reload_targets(cdata);
        xfer_update_thumbnails(cdata->source_uris, cdata->target_uris, cdata->kind);
    }
    record_left_out_items(cdata);
    if (cdata->error_text)
        schedule_notice(cdata);
    xfer_cleanup(&cdata);
    ulvo_fm_set_operation(OPER_NONE);
}

gint xfer_sync_callback(UlvoVfsXferProgressInfo *info, gpointer data)
{
    auto *cdata = static_cast<XferData *>(data);
    if (!info || !cdata)
        return 1;
    if (info->phase < ULVO_VFS_XFER_PHASE_READYTOGO)
        completion_handled = FALSE;
    if (report_observer && info->phase != ULVO_VFS_XFER_PHASE_COMPLETED &&
        !report_observer(info, report_observer_data)) {
        g_atomic_int_set(&cdata->cancelled, TRUE);
        ulvo_vfs_async_cancel(cdata->handle);
    }
    if (info->phase == ULVO_VFS_XFER_PHASE_FILECOMPLETED)
        note_finished_item(cdata, info);
    if (info->phase == ULVO_VFS_XFER_PHASE_READYTOGO)
        remember_target_folder(cdata);
    if (info->phase == ULVO_VFS_XFER_PHASE_READYTOGO &&
        !target_has_room(cdata, info->bytes_total)) {
        xfer_no_space(cdata);
        ulvo_vfs_async_cancel(cdata->handle);
        return 0;
    }
    if (touches_target(info) && !target_folder_in_place(cdata)) {
        xfer_target_folder_gone(cdata);
        g_atomic_int_set(&cdata->cancelled, TRUE);
        ulvo_vfs_async_cancel(cdata->handle);
        return 0;
    }
    if (info->phase != ULVO_VFS_XFER_PHASE_COMPLETED)
        return 1;
    // What was written must be on the medium before the person pulls a
    // card. Done here, off the lock, so the window stays responsive and the
    // note stays up until then; a transfer that never started wrote nothing.
    if (!completion_handled)
        sync();
    gdk_threads_enter();
    if (cdata->kind == XFER_COPY && wrote_nothing(cdata, info))
        fm_infoprint(cdata->parent_window,
                     xfer_text("kivel-common-strings", "ecoc_ib_edwin_nothing_to_paste"));
    if (!completion_handled) {
        completion_handled = TRUE;
        complete(cdata);
    }
    gdk_threads_leave();
    return 1;
}
