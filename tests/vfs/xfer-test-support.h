// Running a real transfer from a test: every report recorded, questions
// answered by the test, the main loop pumped until COMPLETED.
#pragma once

#include "vfs-test-support.h"
#include "vfs/vfs-xfer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <map>
#include <mutex>
#include <vector>

namespace xfer_test
{

class XferTest : public vfs_test::VfsTest
{
};

struct Report {
    int status;
    int vfs_status;
    int phase;
    std::string source;
    std::string target;
    gulong file_index;
    gulong files_total;
    guint64 bytes_total;
    guint64 total_bytes_copied;
};

inline Report record(const UlvoVfsXferProgressInfo *info)
{
    return {info->status,
            info->vfs_status,
            info->phase,
            info->source_name ? info->source_name : "",
            info->target_name ? info->target_name : "",
            info->file_index,
            info->files_total,
            info->bytes_total,
            info->total_bytes_copied};
}

class Transfer
{
  public:
    // Answers the update callback: go on after OK reports, abort at questions.
    std::function<gint(const UlvoVfsXferProgressInfo *)> answer =
        [](const UlvoVfsXferProgressInfo *info) {
            return info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OK ? 1 : 0;
        };
    // Called with every sync report and its number (from 1), on the worker.
    std::function<void(Transfer &, const UlvoVfsXferProgressInfo *, int)> on_sync;

    std::vector<Report> sync_reports;
    std::vector<Report> updates;
    UlvoVfsAsyncHandle *handle = nullptr;

    UlvoVfsResult start(const std::vector<std::string> &sources,
                        const std::vector<std::string> &targets, guint options)
    {
        GList *s = nullptr, *t = nullptr;
        for (const auto &u : sources)
            s = g_list_append(s, const_cast<char *>(u.c_str()));
        for (const auto &u : targets)
            t = g_list_append(t, const_cast<char *>(u.c_str()));
        UlvoVfsResult result = ulvo_vfs_async_xfer(
            &handle, s, t, options, ULVO_VFS_XFER_ERROR_MODE_QUERY,
            ULVO_VFS_XFER_OVERWRITE_MODE_QUERY, 0, on_update, this, on_sync_report, this);
        g_list_free(s);
        g_list_free(t);
        return result;
    }

    // Runs the transfer to its end; the COMPLETED report's vfs_status.
    int run(const std::vector<std::string> &sources, const std::vector<std::string> &targets,
            guint options)
    {
        EXPECT_EQ(start(sources, targets, options), ULVO_VFS_OK);
        EXPECT_TRUE(ulvo_test::pump_until([this] { return completed() > 0; }, 60000));
        // A second COMPLETED, or an update after it, would show up meanwhile.
        ulvo_test::pump_for(20);
        EXPECT_EQ(completed(), 1);
        for (const Report &r : updates)
            EXPECT_NE(r.phase, ULVO_VFS_XFER_PHASE_COMPLETED);
        std::lock_guard<std::mutex> lock(mutex_);
        return sync_reports.empty() ? -1 : sync_reports.back().vfs_status;
    }

    int completed()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        int count = 0;
        for (const Report &r : sync_reports)
            count += r.phase == ULVO_VFS_XFER_PHASE_COMPLETED;
        return count;
    }

    // The update reports of a status other than OK.
    std::vector<Report> questions() const
    {
        std::vector<Report> result;
        for (const Report &r : updates)
            if (r.status != ULVO_VFS_XFER_PROGRESS_STATUS_OK)
                result.push_back(r);
        return result;
    }

  private:
    static gint on_update(UlvoVfsAsyncHandle *, UlvoVfsXferProgressInfo *info, gpointer data)
    {
        auto *self = static_cast<Transfer *>(data);
        self->updates.push_back(record(info));
        return self->answer(info);
    }
    static gint on_sync_report(UlvoVfsXferProgressInfo *info, gpointer data)
    {
        auto *self = static_cast<Transfer *>(data);
        int number;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->sync_reports.push_back(record(info));
            number = int(self->sync_reports.size());
        }
        if (self->on_sync)
            self->on_sync(*self, info, number);
        return 1;
    }
    std::mutex mutex_;
};

// Every entry below `root`: relative path -> "f:<contents>", "d", "l:<link>".
inline std::map<std::string, std::string> tree(const std::string &root,
                                               const std::string &prefix = "")
{
    std::map<std::string, std::string> result;
    DIR *dir = opendir(root.c_str());
    if (!dir)
        return result;
    while (struct dirent *e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = root + "/" + name, rel = prefix + name;
        struct stat st;
        lstat(path.c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            result[rel] = "d";
            for (auto &entry : tree(path, rel + "/"))
                result.insert(entry);
        } else if (S_ISLNK(st.st_mode)) {
            gchar *text = g_file_read_link(path.c_str(), nullptr);
            result[rel] = std::string("l:") + (text ? text : "");
            g_free(text);
        } else {
            gchar *contents = nullptr;
            gsize length = 0;
            g_file_get_contents(path.c_str(), &contents, &length, nullptr);
            result[rel] = "f:" + std::string(contents ? contents : "", length);
            g_free(contents);
        }
    }
    closedir(dir);
    return result;
}

// Names below `root` that are temporaries of a transfer.
inline std::vector<std::string> partial_files(const std::string &root)
{
    std::vector<std::string> found;
    for (auto &entry : tree(root)) {
        std::string name = entry.first.substr(entry.first.rfind('/') + 1);
        if (ulvo_vfs_xfer_is_partial_name(name.c_str()))
            found.push_back(entry.first);
    }
    return found;
}

// A tree of folders, files of several sizes, an empty folder and links.
inline void make_sample_tree(const std::string &root, int files = 6)
{
    ulvo_test::make_dir(root);
    ulvo_test::make_dir(root + "/empty");
    for (int i = 0; i < files; i++) {
        std::string folder = root + (i % 2 ? "/sub/deeper" : "/sub");
        ulvo_test::write_file(folder + "/file" + std::to_string(i) + ".txt",
                              std::string(size_t(i) * 1500, char('a' + i)));
    }
    ulvo_test::write_file(root + "/top.bin", std::string(3 << 20, 'x'));
    symlink("sub/file0.txt", (root + "/link").c_str());
    symlink("/nowhere/at/all", (root + "/dangling").c_str());
}

} // namespace xfer_test
