// The backend object (paths <-> text URIs, parents, children) and the text
// URI arithmetic the file system model shares with it. A path is the
// location's canonical text URI.
#include "platform/fsmodel/kivel-fs-private.h"

#include <string.h>

struct _KivelFileSystemBackend {
    GObject parent_instance;
    KivelFileSystemModel *model; // not referenced: the model owns the backend
};

struct _KivelFileSystemBackendClass {
    GObjectClass parent_class;
};

G_DEFINE_TYPE(KivelFileSystemBackend, kivel_file_system_backend, G_TYPE_OBJECT)

static void kivel_file_system_backend_init(KivelFileSystemBackend *) {}

static void kivel_file_system_backend_class_init(KivelFileSystemBackendClass *) {}

KivelFileSystemBackend *fs_backend_new(KivelFileSystemModel *model)
{
    auto *backend =
        KIVEL_FILE_SYSTEM_BACKEND(g_object_new(KIVEL_TYPE_FILE_SYSTEM_BACKEND, nullptr));
    backend->model = model;
    return backend;
}

void fs_backend_forget_model(KivelFileSystemBackend *backend)
{
    backend->model = nullptr;
}

// ---- URI arithmetic ----

// Where the path of a URI with an authority begins ("/x" in "smb://host/x"),
// or NULL when it has none.
static const gchar *path_start(const gchar *uri)
{
    const gchar *sep = strstr(uri, "://");
    return sep ? strchr(sep + 3, '/') : nullptr;
}

static gboolean is_file_uri(const gchar *uri)
{
    return g_ascii_strncasecmp(uri, "file:", 5) == 0;
}

gchar *fs_canonical_uri(const gchar *uri)
{
    if (!uri)
        return nullptr;
    gchar *scheme = g_uri_parse_scheme(uri);
    if (!scheme)
        return nullptr;
    g_free(scheme);
    if (is_file_uri(uri)) {
        // GIO resolves "." and "..", drops a trailing "/" and escapes the
        // way it does everywhere else.
        gchar *lowered = g_strconcat("file:", uri + 5, nullptr);
        gchar *local = g_filename_from_uri(lowered, nullptr, nullptr);
        g_free(lowered);
        if (!local)
            return nullptr;
        GFile *file = g_file_new_for_path(local);
        gchar *canonical = g_file_get_uri(file);
        g_object_unref(file);
        g_free(local);
        return canonical;
    }
    gsize len = strlen(uri);
    const gchar *path = path_start(uri);
    gsize keep = path ? gsize(path - uri) + 1 : len;
    while (len > keep && uri[len - 1] == '/')
        len--;
    return g_strndup(uri, len);
}

gchar *fs_uri_parent(const gchar *uri)
{
    if (!uri)
        return nullptr;
    const gchar *path = path_start(uri);
    if (!path)
        return nullptr;
    const gchar *end = uri + strlen(uri);
    while (end > path + 1 && end[-1] == '/')
        end--;
    const gchar *slash = end - 1;
    while (slash > path && *slash != '/')
        slash--;
    if (slash == path && end == path + 1)
        return nullptr; // a root: "scheme://host/"
    return g_strndup(uri, gsize(slash - uri) + (slash == path ? 1 : 0));
}

gboolean fs_uri_is_at_or_below(const gchar *ancestor, const gchar *uri)
{
    gsize n = strlen(ancestor);
    if (n == 0 || strncmp(ancestor, uri, n) != 0)
        return FALSE;
    return uri[n] == '\0' || uri[n] == '/' || ancestor[n - 1] == '/';
}

gchar *fs_child_uri(const gchar *parent_uri, const gchar *name)
{
    if (!parent_uri || !name || !*name || strchr(name, '/'))
        return nullptr;
    gchar *escaped;
    if (is_file_uri(parent_uri)) {
        // Escaped exactly as GIO spells file URIs.
        gchar *absolute = g_strconcat("/", name, nullptr);
        gchar *uri = g_filename_to_uri(absolute, nullptr, nullptr);
        g_free(absolute);
        if (!uri)
            return nullptr;
        escaped = g_strdup(uri + strlen("file:///"));
        g_free(uri);
    } else {
        escaped = g_uri_escape_string(name, G_URI_RESERVED_CHARS_ALLOWED_IN_PATH_ELEMENT, FALSE);
    }
    gchar *child = g_str_has_suffix(parent_uri, "/")
                       ? g_strconcat(parent_uri, escaped, nullptr)
                       : g_strconcat(parent_uri, "/", escaped, nullptr);
    g_free(escaped);
    return child;
}

// ---- the backend's operations ----

gchar *kivel_file_system_backend_uri_to_path(KivelFileSystemBackend *backend, const gchar *uri)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_BACKEND(backend), nullptr);
    g_return_val_if_fail(uri != nullptr, nullptr);
    return fs_canonical_uri(uri);
}

gchar *kivel_file_system_backend_path_to_uri(KivelFileSystemBackend *backend, const gchar *path)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_BACKEND(backend), nullptr);
    g_return_val_if_fail(path != nullptr, nullptr);
    return fs_canonical_uri(path);
}

gchar *kivel_file_system_backend_make_path(KivelFileSystemBackend *backend, const gchar *parent,
                                           const gchar *name)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_BACKEND(backend), nullptr);
    g_return_val_if_fail(parent != nullptr, nullptr);
    g_return_val_if_fail(name != nullptr, nullptr);
    if (strcmp(parent, KIVEL_FILE_SYSTEM_ROOT_URI) == 0 || !g_utf8_validate(name, -1, nullptr))
        return nullptr;
    gchar *folder = fs_canonical_uri(parent);
    if (!folder)
        return nullptr;
    gchar *child = nullptr;
    if (is_file_uri(folder)) {
        gchar *on_disk = g_filename_from_utf8(name, -1, nullptr, nullptr, nullptr);
        child = fs_child_uri(folder, on_disk);
        g_free(on_disk);
    } else {
        child = fs_child_uri(folder, name);
    }
    g_free(folder);
    return child;
}

gchar *kivel_file_system_backend_get_parent(KivelFileSystemBackend *backend, const gchar *path)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_BACKEND(backend), nullptr);
    g_return_val_if_fail(path != nullptr, nullptr);
    if (strcmp(path, KIVEL_FILE_SYSTEM_ROOT_URI) == 0)
        return nullptr;
    gchar *location = fs_canonical_uri(path);
    if (!location)
        return nullptr;
    gchar *parent = nullptr;
    FsNode *top = backend->model ? fs_roots_find_holder(backend->model, location) : nullptr;
    if (!(top && strcmp(top->uri, location) == 0))
        parent = fs_uri_parent(location);
    g_free(location);
    // Top-level locations, and anything above them, sit under the virtual root.
    return parent ? parent : g_strdup(KIVEL_FILE_SYSTEM_ROOT_URI);
}
