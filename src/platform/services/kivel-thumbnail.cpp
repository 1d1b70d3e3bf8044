// Thumbnails live in $XDG_CACHE_HOME/thumbnails/<size>/<md5 of URI>.png with
// the file's URI in the PNG text key Thumb::URI; failed attempts are noted
// the same way under fail/<program>/.
#define G_LOG_DOMAIN "Kivel"

#include "platform/services/kivel-thumbnail.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-read.h"
#include "vfs/vfs-uri.h"

#include <errno.h>
#include <gio/gio.h>
#include <glib/gstdio.h>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using ulvo::ErrorOut;
using ulvo::GCharPtr;
using ulvo::GObjPtr;

namespace
{

const char *const kCacheService = "org.freedesktop.thumbnails.Cache1";
const char *const kCachePath = "/org/freedesktop/thumbnails/Cache1";
const char *const kUriKey = "Thumb::URI";
const char *const kSizeFolders[] = {"normal", "large", "x-large", "xx-large"};
// Far above any real thumbnail; guards memory against whatever sits there.
const gsize kMaxThumbnailSize = 64 * 1024 * 1024;
const gint kServiceTimeoutMs = 10000;

enum class Work { Copy, Move, Remove };

struct Job {
    Work work;
    std::string source;
    std::string target; // empty for Remove
};

// One chunk of a PNG: its type and where its data lies in the file.
struct Chunk {
    std::string type;
    gsize start; // of the length field
    gsize data;
    guint32 length;
};

// The URI the cache's writers hash: GIO's spelling of the location.
std::string canonical_uri(const gchar *text)
{
    if (!text || !*text)
        return {};
    GObjPtr<GFile> file;
    GCharPtr scheme(g_uri_parse_scheme(text));
    if (text[0] == '/') {
        file.reset(g_file_new_for_path(text));
    } else if (scheme && g_ascii_strcasecmp(scheme.get(), "file") == 0) {
        // Tolerates unescaped and differently escaped spellings.
        GCharPtr path(ulvo_vfs_get_local_path_from_uri(text));
        if (!path)
            return {};
        file.reset(g_file_new_for_path(path.get()));
    } else if (scheme) {
        file.reset(g_file_new_for_uri(text));
    } else {
        return {};
    }
    GCharPtr uri(g_file_get_uri(file.get()));
    return uri ? uri.get() : "";
}

guint32 crc32(const char *bytes, gsize length)
{
    static const std::array<guint32, 256> table = [] {
        std::array<guint32, 256> t{};
        for (guint32 n = 0; n < 256; n++) {
            guint32 c = n;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    guint32 c = 0xffffffffu;
    for (gsize i = 0; i < length; i++)
        c = table[(c ^ static_cast<guchar>(bytes[i])) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

guint32 read_be32(const std::string &bytes, gsize at)
{
    const auto *p = reinterpret_cast<const guchar *>(bytes.data() + at);
    return (guint32(p[0]) << 24) | (guint32(p[1]) << 16) | (guint32(p[2]) << 8) | p[3];
}

void append_be32(std::string *bytes, guint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes->push_back(static_cast<char>((value >> shift) & 0xff));
}

// The chunks of a whole, undamaged PNG (every CRC right, IHDR first, IEND
// last), or false.
bool split_png(const std::string &png, std::vector<Chunk> *chunks)
{
    static const char signature[] = "\x89PNG\r\n\x1a\n";
    if (png.size() < 8 || png.compare(0, 8, signature, 8) != 0)
        return false;
    chunks->clear();
    gsize pos = 8;
    while (pos < png.size() && (chunks->empty() || chunks->back().type != "IEND")) {
        if (png.size() - pos < 12)
            return false;
        guint32 length = read_be32(png, pos);
        if (length > png.size() - pos - 12)
            return false;
        if (crc32(png.data() + pos + 4, length + 4) != read_be32(png, pos + 8 + length))
            return false;
        chunks->push_back({png.substr(pos + 4, 4), pos, pos + 8, length});
        pos += 12 + length;
    }
    return !chunks->empty() && chunks->front().type == "IHDR" && chunks->back().type == "IEND";
}

bool is_text_chunk(const Chunk &chunk)
{
    return chunk.type == "tEXt" || chunk.type == "iTXt" || chunk.type == "zTXt";
}

std::string chunk_keyword(const std::string &png, const Chunk &chunk)
{
    std::string data = png.substr(chunk.data, chunk.length);
    return data.substr(0, data.find('\0'));
}

// The value of an uncompressed text chunk; false for a compressed one.
bool chunk_text(const std::string &png, const Chunk &chunk, std::string *text)
{
    std::string data = png.substr(chunk.data, chunk.length);
    gsize end = data.find('\0');
    if (end == std::string::npos)
        return false;
    if (chunk.type == "tEXt") {
        *text = data.substr(end + 1);
        return true;
    }
    // iTXt: compression flag and method, then language and translated
    // keyword, each ended by a NUL.
    if (chunk.type != "iTXt" || data.size() < end + 3 || data[end + 1] != 0)
        return false;
    gsize language_end = data.find('\0', end + 3);
    gsize translated_end =
        language_end == std::string::npos ? language_end : data.find('\0', language_end + 1);
    if (translated_end == std::string::npos)
        return false;
    *text = data.substr(translated_end + 1);
    return true;
}

bool find_thumb_uri(const std::string &png, const std::vector<Chunk> &chunks, std::string *uri)
{
    for (const Chunk &chunk : chunks)
        if (is_text_chunk(chunk) && chunk_keyword(png, chunk) == kUriKey)
            return chunk_text(png, chunk, uri);
    return false;
}

void append_chunk(std::string *png, const char *type, const std::string &data)
{
    append_be32(png, data.size());
    std::string body = std::string(type, 4) + data;
    png->append(body);
    append_be32(png, crc32(body.data(), body.size()));
}

void append_uri_chunk(std::string *png, const std::string &uri)
{
    // Latin-1 text chunks cannot hold other letters; escaped URIs are ASCII.
    if (g_str_is_ascii(uri.c_str()))
        append_chunk(png, "tEXt", std::string(kUriKey) + '\0' + uri);
    else
        append_chunk(png, "iTXt", std::string(kUriKey) + std::string(5, '\0') + uri);
}

// The same PNG with Thumb::URI set to `uri`; every other chunk as it was.
std::string with_thumb_uri(const std::string &png, const std::vector<Chunk> &chunks,
                           const std::string &uri)
{
    std::string out = png.substr(0, 8);
    bool written = false;
    for (const Chunk &chunk : chunks) {
        if (is_text_chunk(chunk) && chunk_keyword(png, chunk) == kUriKey) {
            if (!written)
                append_uri_chunk(&out, uri);
            written = true;
            continue;
        }
        out.append(png, chunk.start, chunk.length + 12);
    }
    return out;
}

std::string thumbnail_path(const std::string &folder, const std::string &uri)
{
    GCharPtr md5(g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1));
    std::string name = std::string(md5.get()) + ".png";
    GCharPtr path(g_build_filename(folder.c_str(), name.c_str(), nullptr));
    return path.get();
}

// Every size folder, and each program's folder of failed attempts.
std::vector<std::string> cache_folders()
{
    GCharPtr root(g_build_filename(g_get_user_cache_dir(), "thumbnails", nullptr));
    std::vector<std::string> folders;
    for (const char *size : kSizeFolders) {
        GCharPtr folder(g_build_filename(root.get(), size, nullptr));
        folders.push_back(folder.get());
    }
    GCharPtr fail(g_build_filename(root.get(), "fail", nullptr));
    GDir *dir = g_dir_open(fail.get(), 0, nullptr);
    if (!dir)
        return folders;
    while (const gchar *name = g_dir_read_name(dir)) {
        GCharPtr folder(g_build_filename(fail.get(), name, nullptr));
        folders.push_back(folder.get());
    }
    g_dir_close(dir);
    return folders;
}

bool is_missing(const GError *error)
{
    return g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT) ||
           g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOTDIR);
}

// Reads the thumbnail at `path` when it is a sound PNG made for `uri`; any
// other file there belongs to someone else and is left alone.
bool read_thumbnail_of(const std::string &path, const std::string &uri, std::string *png,
                       std::vector<Chunk> *chunks)
{
    gchar *contents = nullptr;
    gsize length = 0;
    ErrorOut error;
    if (!ulvo_vfs_read_regular_file(path.c_str(), kMaxThumbnailSize, &contents, &length,
                                    error.out())) {
        if (!is_missing(error.get()))
            g_debug("thumbnail %s not read: %s", path.c_str(), error.get()->message);
        return false;
    }
    png->assign(contents, length);
    g_free(contents);
    std::string stored;
    if (!split_png(*png, chunks) || !find_thumb_uri(*png, *chunks, &stored) ||
        canonical_uri(stored.c_str()) != uri) {
        g_debug("thumbnail %s is not one of %s: left alone", path.c_str(), uri.c_str());
        return false;
    }
    return true;
}

void remove_in_folder(const std::string &folder, const std::string &uri)
{
    std::string path = thumbnail_path(folder, uri);
    std::string png;
    std::vector<Chunk> chunks;
    if (!read_thumbnail_of(path, uri, &png, &chunks))
        return;
    if (g_unlink(path.c_str()) != 0 && errno != ENOENT)
        g_warning("cannot remove thumbnail %s: %s", path.c_str(), g_strerror(errno));
}

// Gives `target` the thumbnail of `source` in `folder`; a move then drops
// the source's.
void carry_in_folder(const std::string &folder, const Job &job)
{
    std::string from = thumbnail_path(folder, job.source);
    std::string png;
    std::vector<Chunk> chunks;
    if (!read_thumbnail_of(from, job.source, &png, &chunks)) {
        // Whatever the target had shows contents it no longer has.
        remove_in_folder(folder, job.target);
        return;
    }
    std::string to = thumbnail_path(folder, job.target);
    std::string renamed = with_thumb_uri(png, chunks, job.target);
    ErrorOut error;
    auto flags =
        GFileSetContentsFlags(G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_ONLY_EXISTING);
    if (!g_file_set_contents_full(to.c_str(), renamed.data(), renamed.size(), flags, 0600,
                                  error.out())) {
        g_warning("cannot write thumbnail %s: %s", to.c_str(), error.get()->message);
        return;
    }
    if (job.work == Work::Move && g_unlink(from.c_str()) != 0 && errno != ENOENT)
        g_warning("cannot remove thumbnail %s: %s", from.c_str(), g_strerror(errno));
}

std::string uri_of(GFile *file)
{
    GCharPtr uri(g_file_get_uri(file));
    return uri.get();
}

// Carries the thumbnails of everything below the folder `target` over from
// the same names below `source`.
void carry_tree(GFile *source, GFile *target, Work work, const std::vector<std::string> &folders)
{
    GObjPtr<GFileEnumerator> children(g_file_enumerate_children(
        target, G_FILE_ATTRIBUTE_STANDARD_NAME "," G_FILE_ATTRIBUTE_STANDARD_TYPE,
        G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, nullptr));
    if (!children)
        return;
    while (GFileInfo *next = g_file_enumerator_next_file(children.get(), nullptr, nullptr)) {
        GObjPtr<GFileInfo> info(next);
        const char *name = g_file_info_get_name(info.get());
        GObjPtr<GFile> from(g_file_get_child(source, name));
        GObjPtr<GFile> to(g_file_get_child(target, name));
        if (g_file_info_get_file_type(info.get()) == G_FILE_TYPE_DIRECTORY) {
            carry_tree(from.get(), to.get(), work, folders);
            continue;
        }
        Job child{work, uri_of(from.get()), uri_of(to.get())};
        for (const std::string &folder : folders)
            carry_in_folder(folder, child);
    }
}

void do_in_cache(const Job &job)
{
    std::vector<std::string> folders = cache_folders();
    for (const std::string &folder : folders) {
        if (job.work == Work::Remove)
            remove_in_folder(folder, job.source);
        else
            carry_in_folder(folder, job);
    }
    if (job.work == Work::Remove)
        return;
    GObjPtr<GFile> target(g_file_new_for_uri(job.target.c_str()));
    if (g_file_query_file_type(target.get(), G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr) ==
        G_FILE_TYPE_DIRECTORY) {
        GObjPtr<GFile> source(g_file_new_for_uri(job.source.c_str()));
        carry_tree(source.get(), target.get(), job.work, folders);
    }
}

// Only the pool's one worker runs at a time, so these need no lock.
GDBusConnection *service_bus = nullptr;
bool no_service_bus = false;

// A connection of this module's own: closing it never ends the program.
GDBusConnection *session_bus()
{
    if (service_bus && g_dbus_connection_is_closed(service_bus))
        g_clear_object(&service_bus);
    if (service_bus || no_service_bus)
        return service_bus;
    ErrorOut error;
    GCharPtr address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
    if (address)
        service_bus = g_dbus_connection_new_for_address_sync(
            address.get(),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, error.out());
    if (!service_bus) {
        no_service_bus = true;
        g_debug("thumbnails without the cache service: %s", error.get()->message);
    }
    return service_bus;
}

const char *service_method(Work work)
{
    switch (work) {
    case Work::Copy:
        return "Copy";
    case Work::Move:
        return "Move";
    case Work::Remove:
        break;
    }
    return "Delete";
}

// Hands the job to the cache service when one owns its name. False when
// there is none or it failed, so that the cache is kept here.
bool ask_cache_service(const Job &job)
{
    GDBusConnection *bus = session_bus();
    if (!bus)
        return false;
    const gchar *from[] = {job.source.c_str(), nullptr};
    const gchar *to[] = {job.target.c_str(), nullptr};
    GVariant *args = job.work == Work::Remove ? g_variant_new("(^as)", from)
                                              : g_variant_new("(^as^as)", from, to);
    ErrorOut error;
    GVariant *reply = g_dbus_connection_call_sync(
        bus, kCacheService, kCachePath, kCacheService, service_method(job.work), args, nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kServiceTimeoutMs, nullptr, error.out());
    if (!reply) {
        g_debug("thumbnail cache service not used: %s", error.get()->message);
        return false;
    }
    g_variant_unref(reply);
    return true;
}

void run_job(gpointer data, gpointer)
{
    std::unique_ptr<Job> job(static_cast<Job *>(data));
    if (!ask_cache_service(*job))
        do_in_cache(*job);
}

// One worker, so that the jobs run in the order they came.
GThreadPool *job_queue()
{
    static GThreadPool *const pool = g_thread_pool_new(run_job, nullptr, 1, FALSE, nullptr);
    return pool;
}

void submit(Work work, const gchar *source, const gchar *target)
{
    auto job = std::make_unique<Job>();
    job->work = work;
    job->source = canonical_uri(source);
    if (work != Work::Remove)
        job->target = canonical_uri(target);
    if (job->source.empty() || (work != Work::Remove && job->target.empty())) {
        g_debug("thumbnails not kept for %s: not a URI", source);
        return;
    }
    // Carrying a thumbnail onto itself would only lose it.
    if (work != Work::Remove && job->source == job->target)
        return;
    g_thread_pool_push(job_queue(), job.release(), nullptr);
}

} // namespace

void kivel_thumbnail_factory_copy(const gchar *source_uri, const gchar *target_uri)
{
    g_return_if_fail(source_uri != nullptr && target_uri != nullptr);
    submit(Work::Copy, source_uri, target_uri);
}

void kivel_thumbnail_factory_move(const gchar *source_uri, const gchar *target_uri)
{
    g_return_if_fail(source_uri != nullptr && target_uri != nullptr);
    submit(Work::Move, source_uri, target_uri);
}

void kivel_thumbnail_factory_remove(const gchar *uri)
{
    g_return_if_fail(uri != nullptr);
    submit(Work::Remove, uri, nullptr);
}
