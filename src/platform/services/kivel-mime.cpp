#define G_LOG_DOMAIN "Kivel"

#include "platform/services/kivel-mime.h"

#include "vfs/glib-ptr.h"

#include <string.h>
#include <vector>

using ulvo::ErrorOut;
using ulvo::GCharPtr;
using ulvo::GObjPtr;
using ulvo::GStrvPtr;

static gchar **kept_environment = nullptr;

void kivel_mime_keep_launch_environment(void)
{
    g_strfreev(kept_environment);
    kept_environment = g_get_environ();
}

gchar **kivel_mime_get_launch_environment(void)
{
    return kept_environment ? g_strdupv(kept_environment) : g_get_environ();
}

GAppLaunchContext *kivel_mime_launch_context_new(void)
{
    GAppLaunchContext *context = g_app_launch_context_new();
    if (!kept_environment)
        return context;
    // The context starts from the present environment: what the program set
    // since start-up is taken back, what it changed is put back.
    GStrvPtr present(g_get_environ());
    for (gchar **var = present.get(); *var; var++) {
        GCharPtr name(g_strndup(*var, strcspn(*var, "=")));
        if (!g_environ_getenv(kept_environment, name.get()))
            g_app_launch_context_unsetenv(context, name.get());
    }
    for (gchar **var = kept_environment; *var; var++) {
        const gchar *equals = strchr(*var, '=');
        if (!equals)
            continue;
        GCharPtr name(g_strndup(*var, equals - *var));
        g_app_launch_context_setenv(context, name.get(), equals + 1);
    }
    return context;
}

gchar *kivel_mime_get_type_for_uri(const gchar *texturi)
{
    g_return_val_if_fail(texturi != nullptr, nullptr);
    GObjPtr<GFile> file(g_file_new_for_uri(texturi));
    ErrorOut error;
    GObjPtr<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                              G_FILE_QUERY_INFO_NONE, nullptr, error.out()));
    if (!info)
        return nullptr;
    const gchar *content_type = g_file_info_get_content_type(info.get());
    return content_type ? g_content_type_get_mime_type(content_type) : nullptr;
}

GAppInfo *kivel_mime_get_default_application(const gchar *mime_type)
{
    g_return_val_if_fail(mime_type != nullptr, nullptr);
    GCharPtr content_type(g_content_type_from_mime_type(mime_type));
    if (!content_type)
        return nullptr;
    return g_app_info_get_default_for_type(content_type.get(), FALSE);
}

namespace
{

// The items handed to one application, in the order they were given.
struct Launch {
    GObjPtr<GAppInfo> app;
    GList *uris = nullptr;
    Launch(GAppInfo *a) : app(a) {}
    Launch(Launch &&other) noexcept : app(std::move(other.app)), uris(other.uris)
    {
        other.uris = nullptr;
    }
    Launch(const Launch &) = delete;
    ~Launch() { g_list_free_full(uris, g_free); }
};

// Checks one item and files it under its application.
gint add_item(std::vector<Launch> &launches, const gchar *texturi)
{
    if (!texturi || !g_utf8_validate(texturi, -1, nullptr) ||
        !g_uri_is_valid(texturi, G_URI_FLAGS_NONE, nullptr))
        return KIVEL_MIME_OPEN_NOT_ALLOWED;
    GCharPtr mime_type(kivel_mime_get_type_for_uri(texturi));
    GAppInfo *app = mime_type ? kivel_mime_get_default_application(mime_type.get()) : nullptr;
    if (!app)
        return KIVEL_MIME_OPEN_FAILED;
    GObjPtr<GFile> file(g_file_new_for_uri(texturi));
    GCharPtr path(g_file_get_path(file.get()));
    if (!path && !g_app_info_supports_uris(app)) {
        g_object_unref(app);
        return KIVEL_MIME_OPEN_NOT_SUPPORTED;
    }
    Launch *launch = nullptr;
    for (Launch &l : launches)
        if (g_app_info_equal(l.app.get(), app))
            launch = &l;
    if (launch)
        g_object_unref(app);
    else {
        launches.emplace_back(app);
        launch = &launches.back();
    }
    launch->uris = g_list_append(launch->uris, g_strdup(texturi));
    return KIVEL_MIME_OPEN_OK;
}

} // namespace

gint kivel_mime_open_file_list(DBusConnection *, GSList *uris)
{
    if (!uris)
        return KIVEL_MIME_OPEN_FAILED;
    std::vector<Launch> launches;
    for (GSList *l = uris; l; l = l->next) {
        gint result = add_item(launches, static_cast<const gchar *>(l->data));
        if (result != KIVEL_MIME_OPEN_OK)
            return result;
    }
    GObjPtr<GAppLaunchContext> context(kivel_mime_launch_context_new());
    for (Launch &launch : launches) {
        ErrorOut error;
        if (!g_app_info_launch_uris(launch.app.get(), launch.uris, context.get(), error.out())) {
            g_warning("Unable to start %s: %s", g_app_info_get_name(launch.app.get()),
                      error.get()->message);
            return KIVEL_MIME_OPEN_FAILED;
        }
    }
    return KIVEL_MIME_OPEN_OK;
}

// ---- Categories ------------------------------------------------------------

namespace
{

struct CategoryRule {
    const gchar *prefix; // a whole type, or a media type ending in "/"
    KivelMimeCategory category;
};

// Looked at in order: the first prefix that matches wins.
const CategoryRule category_rules[] = {
    {"image/", KIVEL_MIME_CATEGORY_IMAGES},
    {"audio/", KIVEL_MIME_CATEGORY_AUDIO},
    {"video/", KIVEL_MIME_CATEGORY_VIDEO},
    {"message/", KIVEL_MIME_CATEGORY_EMAILS},
    {"application/mbox", KIVEL_MIME_CATEGORY_EMAILS},
    {"application/vnd.ms-outlook", KIVEL_MIME_CATEGORY_EMAILS},
    {"application/x-xbel", KIVEL_MIME_CATEGORY_BOOKMARKS},
    {"text/x-opml", KIVEL_MIME_CATEGORY_BOOKMARKS},
    {"text/vcard", KIVEL_MIME_CATEGORY_CONTACTS},
    {"text/x-vcard", KIVEL_MIME_CATEGORY_CONTACTS},
    {"text/directory", KIVEL_MIME_CATEGORY_CONTACTS},
    {"text/", KIVEL_MIME_CATEGORY_DOCUMENTS},
    {"application/pdf", KIVEL_MIME_CATEGORY_DOCUMENTS},
    {"application/rtf", KIVEL_MIME_CATEGORY_DOCUMENTS},
    {"application/msword", KIVEL_MIME_CATEGORY_DOCUMENTS},
    {"application/vnd.ms-excel", KIVEL_MIME_CATEGORY_DOCUMENTS},
    {"application/vnd.ms-powerpoint", KIVEL_MIME_CATEGORY_DOCUMENTS},
    {"application/vnd.oasis.opendocument.", KIVEL_MIME_CATEGORY_DOCUMENTS},
    {"application/vnd.openxmlformats-officedocument.", KIVEL_MIME_CATEGORY_DOCUMENTS},
    {"application/x-abiword", KIVEL_MIME_CATEGORY_DOCUMENTS},
};

} // namespace

KivelMimeCategory kivel_mime_get_category_for_mime_type(const gchar *mime_type)
{
    if (!mime_type)
        return KIVEL_MIME_CATEGORY_OTHER;
    GCharPtr bare(g_ascii_strdown(mime_type, strcspn(mime_type, "; ")));
    for (const CategoryRule &rule : category_rules) {
        size_t length = strlen(rule.prefix);
        bool whole_type = rule.prefix[length - 1] != '/' && rule.prefix[length - 1] != '.';
        if (whole_type ? strcmp(bare.get(), rule.prefix) == 0
                       : strncmp(bare.get(), rule.prefix, length) == 0)
            return rule.category;
    }
    return KIVEL_MIME_CATEGORY_OTHER;
}
