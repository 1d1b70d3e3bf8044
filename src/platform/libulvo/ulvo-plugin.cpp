// The control panel plugin launcher.
#define G_LOG_DOMAIN "ulvo"

#include "platform/toolkit/kivel-locale.h"
#include "platform/libulvo/ulvo-context.h"
#include "vfs/glib-ptr.h"

#include <dlfcn.h>
#include <string.h>

using ulvo::GCharPtr;

// (transfer none)
static const gchar *plugin_folder(void)
{
    const gchar *forced = g_getenv("ULVO_PLUGIN_DIR");
    if (forced && *forced)
        return forced;
    return kivel_running_from_build_tree() ? ULVO_BUILD_DIR "/plugins" : ULVO_PLUGINDIR;
}

static gboolean is_plain_file_name(const gchar *filename)
{
    return *filename && !strchr(filename, '/') && strcmp(filename, ".") != 0 &&
           strcmp(filename, "..") != 0;
}

gint ulvo_cp_plugin_execute(ulvo_context_t *context, const gchar *filename, gpointer data,
                            gboolean user_activated)
{
    g_return_val_if_fail(filename != nullptr, ULVO_ERROR_INVALID_PARAMS);
    // Only plugins of the plugin folder run in this process.
    if (!is_plain_file_name(filename)) {
        g_warning("\"%s\" is not the file name of a plugin", filename);
        return ULVO_ERROR_INVALID_PARAMS;
    }

    GCharPtr path(g_build_filename(plugin_folder(), filename, nullptr));
    // Never unloaded: the plugin may leave handlers or types behind in GTK.
    void *module = dlopen(path.get(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module) {
        g_warning("Cannot load the plugin %s: %s", path.get(), dlerror());
        return ULVO_ERROR;
    }
    dlerror();
    auto execute = reinterpret_cast<ulvo_cp_plugin_execute_f>(dlsym(module, "execute"));
    if (!execute) {
        const char *why = dlerror();
        g_warning("The plugin %s has no entry point: %s", path.get(), why ? why : "NULL");
        dlclose(module);
        return ULVO_ERROR;
    }
    gint result = execute(context, data, user_activated);
    dlclose(module);
    if (result != 0) {
        g_warning("The plugin %s failed with %d", path.get(), result);
        return ULVO_ERROR;
    }
    return ULVO_OK;
}
