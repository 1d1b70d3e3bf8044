// The saved state: one file per application in the user's cache folder.
#define G_LOG_DOMAIN "ulvo"

#include "platform/libulvo/ulvo-context.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-leftovers.h"
#include "vfs/vfs-read.h"

#include <errno.h>
#include <glib/gstdio.h>

using ulvo::ErrorOut;
using ulvo::GCharPtr;

// (transfer full)
static gchar *state_folder(void)
{
    return g_build_filename(g_get_user_cache_dir(), "ulvo", "state", nullptr);
}

// (transfer full)
static gchar *state_file(const ulvo_context_t *context)
{
    GCharPtr folder(state_folder());
    return g_build_filename(folder.get(), context->application, nullptr);
}

gint ulvo_state_write(ulvo_context_t *context, ulvo_state_t *state)
{
    g_return_val_if_fail(context != nullptr, ULVO_ERROR_INVALID_PARAMS);
    g_return_val_if_fail(state != nullptr, ULVO_ERROR_INVALID_PARAMS);
    g_return_val_if_fail(state->state_size == 0 || state->state_data != nullptr,
                         ULVO_ERROR_INVALID_PARAMS);
    // A state the next start could not take back would only slow it down.
    if (state->state_size > ULVO_STATE_MAX_SIZE) {
        g_warning("The state of %s is not saved: %u bytes, more than %u", context->application,
                  state->state_size, ULVO_STATE_MAX_SIZE);
        return ULVO_ERROR_INVALID_PARAMS;
    }

    GCharPtr folder(state_folder());
    if (g_mkdir_with_parents(folder.get(), 0700) != 0) {
        g_warning("Cannot save the state of %s: cannot make %s: %s", context->application,
                  folder.get(), g_strerror(errno));
        return ULVO_ERROR;
    }
    // A temporary file beside the state, made durable, then renamed over it:
    // a crash or a full disk leaves the previous state whole.
    GCharPtr path(state_file(context));
    ErrorOut error;
    if (!g_file_set_contents_full(
            path.get(), static_cast<const gchar *>(state->state_data), state->state_size,
            GFileSetContentsFlags(G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE),
            0600, error.out())) {
        g_warning("Cannot save the state of %s: %s", context->application, error.get()->message);
        return ULVO_ERROR;
    }
    return ULVO_OK;
}

gint ulvo_state_read(ulvo_context_t *context, ulvo_state_t *state)
{
    g_return_val_if_fail(context != nullptr, ULVO_ERROR_INVALID_PARAMS);
    g_return_val_if_fail(state != nullptr, ULVO_ERROR_INVALID_PARAMS);
    state->state_size = 0;
    state->state_data = nullptr;

    GCharPtr path(state_file(context));
    gchar *contents = nullptr;
    gsize length = 0;
    ErrorOut error;
    if (!ulvo_vfs_read_regular_file(path.get(), ULVO_STATE_MAX_SIZE, &contents, &length,
                                    error.out())) {
        if (g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT)) {
            g_debug("No saved state for %s", context->application);
            return ULVO_ERROR_NO_STATE;
        }
        if (error.get()->domain == ULVO_VFS_READ_ERROR)
            g_warning("The saved state of %s is ignored: %s", context->application,
                      error.get()->message);
        else
            g_warning("Cannot read the state of %s: %s", context->application,
                      error.get()->message);
        return ULVO_ERROR;
    }
    if (length == 0) {
        g_free(contents);
        contents = nullptr;
    }
    state->state_size = guint32(length);
    state->state_data = contents;
    return ULVO_OK;
}

void ulvo_state_remove_leftovers(const ulvo_context_t *context)
{
    g_return_if_fail(context != nullptr);
    GCharPtr path(state_file(context));
    guint removed = ulvo_vfs_remove_temporary_siblings(path.get());
    if (removed > 0)
        g_message("Removed %u temporary files of interrupted saves of the state of %s", removed,
                  context->application);
}
