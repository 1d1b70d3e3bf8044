#include "vfs/vfs-uri.h"

#include "vfs/glib-ptr.h"
#include "vfs/vfs-result.h"

#include <gio/gio.h>
#include <string.h>
#include <string>
#include <vector>

namespace
{

// What file URIs leave unescaped in a name besides letters, digits and
// - . _ ~ (the same as GIO, so that our URIs and GIO's compare as text).
const char kNameAllowed[] = "!$&'()*+,:=@";
const char kPathAllowed[] = "!$&'()*+,:=@/";

struct ParsedUri {
    std::string scheme;
    bool has_authority = false;
    std::string authority;
    bool absolute = false;             // the path began with "/"
    std::vector<std::string> segments; // escaped as written, canonical
    bool trailing_slash = false;
    bool has_fragment = false;
    std::string fragment;
};

struct Authority {
    std::string user;
    bool has_password = false;
    std::string password;
    std::string host; // as written, with the brackets of an address literal
    bool has_port = false;
    std::string port;
};

std::string ascii_lower(const std::string &text)
{
    ulvo::GCharPtr lower(g_ascii_strdown(text.c_str(), -1));
    return lower.get();
}

bool is_file_scheme(const std::string &scheme)
{
    return g_ascii_strcasecmp(scheme.c_str(), "file") == 0;
}

// Every "%" starts two hex digits, and none of them spells NUL.
bool escapes_well_formed(const std::string &text)
{
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%')
            continue;
        if (i + 2 >= text.size())
            return false;
        if (!g_ascii_isxdigit(text[i + 1]) || !g_ascii_isxdigit(text[i + 2]))
            return false;
        if (text[i + 1] == '0' && text[i + 2] == '0')
            return false;
        i += 2;
    }
    return true;
}

bool has_control_characters(const char *text)
{
    for (const char *c = text; *c; c++) {
        auto byte = static_cast<unsigned char>(*c);
        if (byte < 0x20 || byte == 0x7f)
            return true;
    }
    return false;
}

bool scheme_well_formed(const std::string &scheme)
{
    if (scheme.empty() || !g_ascii_isalpha(scheme[0]))
        return false;
    for (char c : scheme) {
        if (!g_ascii_isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

std::string unescaped_or_raw(const std::string &escaped)
{
    ulvo::GCharPtr unescaped(g_uri_unescape_string(escaped.c_str(), nullptr));
    return unescaped ? std::string(unescaped.get()) : escaped;
}

void canonicalize_path(const std::string &path, ParsedUri *uri)
{
    uri->absolute = !path.empty() && path[0] == '/';
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string segment = path.substr(start, end - start);
        // "%2E%2E" climbs up as well, on disk and so here.
        std::string name = unescaped_or_raw(segment);
        if (name == "..") {
            if (!uri->segments.empty())
                uri->segments.pop_back();
        } else if (!segment.empty() && name != ".") {
            uri->segments.push_back(segment);
        }
        start = end + 1;
    }
    uri->trailing_slash = !uri->segments.empty() && path.back() == '/';
}

bool authority_well_formed(const std::string &authority)
{
    size_t open = authority.find('[');
    if (open == std::string::npos)
        return authority.find(']') == std::string::npos;
    return authority.find(']', open) != std::string::npos;
}

bool parse_text_uri(const std::string &text, ParsedUri *uri)
{
    if (!g_utf8_validate(text.c_str(), -1, nullptr) || has_control_characters(text.c_str()))
        return false;
    size_t colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    uri->scheme = text.substr(0, colon);
    if (!scheme_well_formed(uri->scheme))
        return false;

    std::string rest = text.substr(colon + 1);
    size_t hash = rest.find('#');
    if (hash != std::string::npos) {
        uri->has_fragment = true;
        uri->fragment = rest.substr(hash + 1);
        rest.erase(hash);
    }
    std::string path = rest;
    if (rest.compare(0, 2, "//") == 0) {
        size_t slash = rest.find('/', 2);
        if (slash == std::string::npos)
            slash = rest.size();
        uri->has_authority = true;
        uri->authority = rest.substr(2, slash - 2);
        path = rest.substr(slash);
    }
    if (!authority_well_formed(uri->authority) || !escapes_well_formed(uri->authority) ||
        !escapes_well_formed(path) || !escapes_well_formed(uri->fragment))
        return false;

    if (is_file_scheme(uri->scheme)) {
        // "file:/x" is "file:///x"; a relative file path names nothing.
        if (!uri->has_authority && (path.empty() || path[0] != '/'))
            return false;
        uri->has_authority = true;
        // An escaped "/" cannot be part of a local name.
        if (g_strstr_len(path.c_str(), -1, "%2F") || g_strstr_len(path.c_str(), -1, "%2f"))
            return false;
    }
    canonicalize_path(path, uri);
    if (is_file_scheme(uri->scheme))
        uri->absolute = true;
    return true;
}

bool parse(const char *text, ParsedUri *uri)
{
    if (!text || !*text)
        return false;
    if (text[0] == '/') {
        ulvo::GCharPtr escaped(g_uri_escape_string(text, kPathAllowed, FALSE));
        return parse_text_uri(std::string("file://") + escaped.get(), uri);
    }
    return parse_text_uri(text, uri);
}

Authority split_authority(const std::string &text)
{
    Authority parts;
    std::string host_port = text;
    size_t at = text.rfind('@');
    if (at != std::string::npos) {
        std::string userinfo = text.substr(0, at);
        host_port = text.substr(at + 1);
        size_t colon = userinfo.find(':');
        parts.user = userinfo.substr(0, colon);
        if (colon != std::string::npos) {
            parts.has_password = true;
            parts.password = userinfo.substr(colon + 1);
        }
    }
    size_t host_end = host_port.size();
    if (!host_port.empty() && host_port[0] == '[') {
        host_end = host_port.find(']') + 1;
    } else {
        size_t colon = host_port.rfind(':');
        if (colon != std::string::npos &&
            host_port.find_first_not_of("0123456789", colon + 1) == std::string::npos)
            host_end = colon;
    }
    parts.host = host_port.substr(0, host_end);
    if (host_end < host_port.size() && host_port[host_end] == ':') {
        parts.has_port = true;
        parts.port = host_port.substr(host_end + 1);
    }
    return parts;
}

// The host as a person reads it: unescaped, without the brackets of an
// address literal, empty for the local host of a file: URI.
std::string host_name(const ParsedUri &uri)
{
    std::string host = split_authority(uri.authority).host;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    ulvo::GCharPtr unescaped(g_uri_unescape_string(host.c_str(), nullptr));
    if (unescaped)
        host = unescaped.get();
    if (is_file_scheme(uri.scheme) && g_ascii_strcasecmp(host.c_str(), "localhost") == 0)
        host.clear();
    return host;
}

std::string authority_text(const ParsedUri &uri, guint hide)
{
    if ((hide & (ULVO_VFS_URI_HIDE_USER_NAME | ULVO_VFS_URI_HIDE_PASSWORD |
                 ULVO_VFS_URI_HIDE_HOST_NAME | ULVO_VFS_URI_HIDE_HOST_PORT)) == 0)
        return uri.authority;
    Authority parts = split_authority(uri.authority);
    std::string userinfo;
    if (!(hide & ULVO_VFS_URI_HIDE_USER_NAME))
        userinfo = parts.user;
    if (parts.has_password && !(hide & ULVO_VFS_URI_HIDE_PASSWORD))
        userinfo += ":" + parts.password;
    std::string text = userinfo.empty() ? "" : userinfo + "@";
    if (!(hide & ULVO_VFS_URI_HIDE_HOST_NAME))
        text += parts.host;
    if (parts.has_port && !(hide & ULVO_VFS_URI_HIDE_HOST_PORT))
        text += ":" + parts.port;
    return text;
}

std::string path_text(const ParsedUri &uri)
{
    std::string path = uri.absolute ? "/" : "";
    for (size_t i = 0; i < uri.segments.size(); i++) {
        if (i > 0)
            path += "/";
        path += uri.segments[i];
    }
    if (uri.trailing_slash)
        path += "/";
    return path;
}

std::string uri_text(const ParsedUri &uri, guint hide)
{
    std::string text;
    bool hide_method = hide & ULVO_VFS_URI_HIDE_TOPLEVEL_METHOD;
    if (!hide_method)
        text = uri.scheme + ":";
    if (uri.has_authority) {
        std::string authority = authority_text(uri, hide);
        if (!hide_method || !authority.empty())
            text += "//" + authority;
    }
    text += path_text(uri);
    if (uri.has_fragment && !(hide & ULVO_VFS_URI_HIDE_FRAGMENT_IDENTIFIER))
        text += "#" + uri.fragment;
    return text;
}

// Everything but the path, in the form in which two spellings of one place
// compare equal.
std::string place_key(const ParsedUri &uri)
{
    Authority parts = split_authority(uri.authority);
    std::string key = ascii_lower(uri.scheme) + "\n" + parts.user + "\n" + parts.password + "\n" +
                      ascii_lower(host_name(uri)) + "\n" + parts.port + "\n";
    // An opaque path ("mailto:x") and an absolute one never name one place.
    if (!uri.has_authority)
        key += uri.absolute ? "/" : "-";
    if (uri.has_fragment)
        key += "#" + uri.fragment;
    return key;
}

std::vector<std::string> unescaped_segments(const ParsedUri &uri)
{
    std::vector<std::string> names;
    for (const std::string &segment : uri.segments)
        names.push_back(unescaped_or_raw(segment));
    return names;
}

bool is_valid_file_name(const char *name)
{
    return *name && strcmp(name, ".") != 0 && strcmp(name, "..") != 0 && !strchr(name, '/');
}

gchar *to_gchar(const std::string &text)
{
    return g_strndup(text.data(), text.size());
}

} // namespace

gboolean ulvo_vfs_uri_is_valid(const char *text_uri)
{
    ParsedUri uri;
    return parse(text_uri, &uri);
}

gchar *ulvo_vfs_uri_to_string(const char *text_uri, guint hide_options)
{
    ParsedUri uri;
    if (!parse(text_uri, &uri))
        return nullptr;
    return to_gchar(uri_text(uri, hide_options));
}

gchar *ulvo_vfs_uri_short_name(const char *text_uri)
{
    ParsedUri uri;
    if (!parse(text_uri, &uri))
        return nullptr;
    if (uri.segments.empty()) {
        std::string host = host_name(uri);
        return to_gchar(host.empty() ? "/" : host);
    }
    return to_gchar(unescaped_or_raw(uri.segments.back()));
}

gchar *ulvo_vfs_uri_short_path_name(const char *text_uri)
{
    ParsedUri uri;
    if (!parse(text_uri, &uri))
        return nullptr;
    return to_gchar(uri.segments.empty() ? "/" : uri.segments.back());
}

gchar *ulvo_vfs_uri_get_parent(const char *text_uri)
{
    ParsedUri uri;
    if (!parse(text_uri, &uri) || uri.segments.empty() || !uri.absolute)
        return nullptr;
    uri.segments.pop_back();
    uri.trailing_slash = false;
    uri.has_fragment = false;
    return to_gchar(uri_text(uri, ULVO_VFS_URI_HIDE_NONE));
}

gchar *ulvo_vfs_uri_extract_dirname(const char *text_uri)
{
    ParsedUri uri;
    if (!parse(text_uri, &uri))
        return nullptr;
    if (!uri.segments.empty())
        uri.segments.pop_back();
    uri.absolute = true;
    uri.trailing_slash = !uri.segments.empty();
    return to_gchar(path_text(uri));
}

gboolean ulvo_vfs_uri_is_parent(const char *parent, const char *child, gboolean recursive)
{
    g_return_val_if_fail(parent != nullptr, FALSE);
    g_return_val_if_fail(child != nullptr, FALSE);
    ParsedUri parent_uri, child_uri;
    if (!parse(parent, &parent_uri) || !parse(child, &child_uri))
        return FALSE;
    if (place_key(parent_uri) != place_key(child_uri))
        return FALSE;
    std::vector<std::string> outer = unescaped_segments(parent_uri);
    std::vector<std::string> inner = unescaped_segments(child_uri);
    if (inner.size() <= outer.size())
        return FALSE;
    if (!recursive && inner.size() != outer.size() + 1)
        return FALSE;
    for (size_t i = 0; i < outer.size(); i++) {
        if (outer[i] != inner[i])
            return FALSE;
    }
    return TRUE;
}

gboolean ulvo_vfs_uri_equal(const char *a, const char *b)
{
    g_return_val_if_fail(a != nullptr, FALSE);
    g_return_val_if_fail(b != nullptr, FALSE);
    ParsedUri first, second;
    if (!parse(a, &first) || !parse(b, &second))
        return FALSE;
    return place_key(first) == place_key(second) &&
           unescaped_segments(first) == unescaped_segments(second);
}

gchar *ulvo_vfs_escape_string(const char *string)
{
    g_return_val_if_fail(string != nullptr, nullptr);
    return g_uri_escape_string(string, "!'()*", FALSE);
}

gchar *ulvo_vfs_escape_path_string(const char *path)
{
    g_return_val_if_fail(path != nullptr, nullptr);
    return g_uri_escape_string(path, kPathAllowed, FALSE);
}

gchar *ulvo_vfs_unescape_string(const char *escaped, const char *illegal_characters)
{
    g_return_val_if_fail(escaped != nullptr, nullptr);
    return g_uri_unescape_string(escaped, illegal_characters);
}

gchar *ulvo_vfs_make_uri_from_path(const char *path)
{
    g_return_val_if_fail(path != nullptr, nullptr);
    if (!g_path_is_absolute(path))
        return nullptr;
    return g_filename_to_uri(path, nullptr, nullptr);
}

gchar *ulvo_vfs_get_local_path_from_uri(const char *text_uri)
{
    ParsedUri uri;
    if (!parse(text_uri, &uri) || !is_file_scheme(uri.scheme) || uri.has_fragment)
        return nullptr;
    Authority parts = split_authority(uri.authority);
    if (!host_name(uri).empty() || !parts.user.empty() || parts.has_password || parts.has_port)
        return nullptr;
    std::string path;
    for (const std::string &name : unescaped_segments(uri))
        path += "/" + name;
    return to_gchar(path.empty() ? "/" : path);
}

gboolean ulvo_vfs_uri_exists(const char *text_uri)
{
    ulvo::GCharPtr path(ulvo_vfs_get_local_path_from_uri(text_uri));
    if (!path)
        return FALSE;
    ulvo::GObjPtr<GFile> file(g_file_new_for_path(path.get()));
    return g_file_query_exists(file.get(), nullptr);
}

gboolean ulvo_vfs_uri_is_local(const char *text_uri)
{
    ulvo::GCharPtr path(ulvo_vfs_get_local_path_from_uri(text_uri));
    if (!path)
        return FALSE;
    // A place that is not there yet lies on the file system of its nearest
    // existing folder.
    ulvo::GObjPtr<GFile> file(g_file_new_for_path(path.get()));
    while (file) {
        ulvo::GObjPtr<GFileInfo> info(g_file_query_filesystem_info(
            file.get(), G_FILE_ATTRIBUTE_FILESYSTEM_REMOTE, nullptr, nullptr));
        if (info)
            return !g_file_info_get_attribute_boolean(info.get(),
                                                      G_FILE_ATTRIBUTE_FILESYSTEM_REMOTE);
        file.reset(g_file_get_parent(file.get()));
    }
    return TRUE;
}

gchar *ulvo_vfs_uri_append_file_name(const char *text_uri, const char *file_name)
{
    g_return_val_if_fail(file_name != nullptr, nullptr);
    ParsedUri uri;
    if (!parse(text_uri, &uri) || !is_valid_file_name(file_name))
        return nullptr;
    if (!uri.absolute && !uri.has_authority)
        return nullptr;
    ulvo::GCharPtr escaped(g_uri_escape_string(file_name, kNameAllowed, FALSE));
    uri.segments.push_back(escaped.get());
    uri.absolute = true;
    uri.trailing_slash = false;
    uri.has_fragment = false;
    return to_gchar(uri_text(uri, ULVO_VFS_URI_HIDE_NONE));
}
