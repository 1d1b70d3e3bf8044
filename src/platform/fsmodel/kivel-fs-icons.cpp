// Icons of the file system model: one shared pixbuf per kind of location,
// loaded from the icon theme the first time a row of that kind is drawn.
#include "platform/fsmodel/kivel-fs-private.h"

#include <string.h>

// Pixel size of the icons; the views scale them as they need.
static const gint FS_ICON_SIZE = 48;

// Theme names to try for each kind, best first; GTK's built-in stock icons
// close every list so that a bare theme still gives a picture.
static const char *const *icon_candidates(FsIcon icon)
{
    static const char *const file[] = {"text-x-generic", "gtk-file", nullptr};
    static const char *const folder[] = {"folder", "gtk-directory", nullptr};
    static const char *const image[] = {"image-x-generic", "gtk-file", nullptr};
    static const char *const video[] = {"video-x-generic", "gtk-file", nullptr};
    static const char *const audio[] = {"audio-x-generic", "gtk-file", nullptr};
    static const char *const documents_root[] = {"user-home", "folder", "gtk-home", nullptr};
    static const char *const card[] = {"media-flash", "drive-removable-media", "gtk-harddisk",
                                       nullptr};
    static const char *const removable[] = {"drive-removable-media", "gtk-harddisk", nullptr};
    static const char *const gateway[] = {"network-server", "gtk-network", nullptr};
    static const char *const images[] = {"folder-pictures", "folder", "gtk-directory", nullptr};
    static const char *const videos[] = {"folder-videos", "folder", "gtk-directory", nullptr};
    static const char *const sounds[] = {"folder-music", "folder", "gtk-directory", nullptr};
    static const char *const documents[] = {"folder-documents", "folder", "gtk-directory", nullptr};
    static const char *const camera[] = {"camera-photo", "folder", "gtk-directory", nullptr};
    switch (icon) {
    case FS_ICON_FILE:
        return file;
    case FS_ICON_FOLDER:
        return folder;
    case FS_ICON_IMAGE:
        return image;
    case FS_ICON_VIDEO:
        return video;
    case FS_ICON_AUDIO:
        return audio;
    case FS_ICON_DOCUMENTS_ROOT:
        return documents_root;
    case FS_ICON_MEMORY_CARD:
        return card;
    case FS_ICON_REMOVABLE:
        return removable;
    case FS_ICON_GATEWAY:
        return gateway;
    case FS_ICON_FOLDER_IMAGES:
        return images;
    case FS_ICON_FOLDER_VIDEOS:
        return videos;
    case FS_ICON_FOLDER_SOUNDS:
        return sounds;
    case FS_ICON_FOLDER_DOCUMENTS:
        return documents;
    case FS_ICON_FOLDER_CAMERA:
        return camera;
    default:
        return nullptr;
    }
}

static GtkIconTheme *icon_theme(KivelFileSystemModel *model)
{
    if (model->ref_widget)
        return gtk_icon_theme_get_for_screen(gtk_widget_get_screen(model->ref_widget));
    return gtk_icon_theme_get_default();
}

// The theme's own loader keeps a string per load that it never frees, so
// the picture is read from the icon's file here.
static GdkPixbuf *load_sized(GtkIconTheme *theme, const char *name)
{
    GtkIconInfo *info =
        gtk_icon_theme_lookup_icon(theme, name, FS_ICON_SIZE, GTK_ICON_LOOKUP_USE_BUILTIN);
    if (!info)
        return nullptr;
    GdkPixbuf *pixbuf = nullptr;
    if (const gchar *file = gtk_icon_info_get_filename(info)) {
        pixbuf = gdk_pixbuf_new_from_file_at_size(file, FS_ICON_SIZE, FS_ICON_SIZE, nullptr);
    } else if (GdkPixbuf *builtin = gtk_icon_info_get_builtin_pixbuf(info)) {
        pixbuf = gdk_pixbuf_scale_simple(builtin, FS_ICON_SIZE, FS_ICON_SIZE, GDK_INTERP_BILINEAR);
    }
    gtk_icon_info_free(info);
    return pixbuf;
}

static void load_icon(KivelFileSystemModel *model, FsIcon icon)
{
    const char *const *names = icon_candidates(icon);
    if (!names || model->icons[icon])
        return;
    GtkIconTheme *theme = icon_theme(model);
    for (const char *const *name = names; *name && !model->icons[icon]; name++) {
        if (!gtk_icon_theme_has_icon(theme, *name))
            continue;
        model->icons[icon] = load_sized(theme, *name);
        if (model->icons[icon])
            model->icon_names[icon] = *name;
    }
}

GdkPixbuf *fs_icon_pixbuf(KivelFileSystemModel *model, FsIcon icon)
{
    if (icon <= FS_ICON_NONE || icon >= FS_ICON_COUNT)
        return nullptr;
    load_icon(model, icon);
    return model->icons[icon];
}

const gchar *fs_icon_name(KivelFileSystemModel *model, FsIcon icon)
{
    if (icon <= FS_ICON_NONE || icon >= FS_ICON_COUNT)
        return nullptr;
    load_icon(model, icon);
    return model->icon_names[icon];
}

FsIcon fs_icon_for_content_type(const gchar *content_type)
{
    if (!content_type)
        return FS_ICON_FILE;
    if (g_str_has_prefix(content_type, "image/"))
        return FS_ICON_IMAGE;
    if (g_str_has_prefix(content_type, "video/"))
        return FS_ICON_VIDEO;
    if (g_str_has_prefix(content_type, "audio/"))
        return FS_ICON_AUDIO;
    return FS_ICON_FILE;
}

void fs_icons_clear(KivelFileSystemModel *model)
{
    for (GdkPixbuf *&pixbuf : model->icons)
        g_clear_object(&pixbuf);
    memset(model->icon_names, 0, sizeof model->icon_names);
}
