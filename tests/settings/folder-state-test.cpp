#include "settings/folder-state.h"

#include "model/app-record.h"
#include "support/ui-test.h"
#include "vfs/glib-ptr.h"

#include <gtest/gtest.h>
#include <glib/gstdio.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using ulvo::GCharPtr;
using ulvo::GKeyFilePtr;
using ulvo_test::LogRecorder;
using ulvo_test::test_home;
using ulvo_test::write_file;

namespace
{

const char *const STATE_DIR = "~/.ulvo/ULVO_FILEMANAGER";
const char *const STATE_FILE = "~/.ulvo/ULVO_FILEMANAGER/Folderstate";
const char *const GROUP = "FOLDER STATE";

class FolderState : public testing::Test
{
  protected:
    const std::string dir = test_home() + "/.ulvo/ULVO_FILEMANAGER";
    const std::string file = dir + "/Folderstate";

    static std::string uri_of(const std::string &path)
    {
        return GCharPtr(g_filename_to_uri(path.c_str(), nullptr, nullptr)).get();
    }
    static std::string home_uri(const char *sub) { return uri_of(test_home() + sub); }
    static int stored(GKeyFile *k, const std::string &uri)
    {
        return g_key_file_get_integer(k, GROUP, uri.c_str(), nullptr);
    }
    static bool has(GKeyFile *k, const std::string &uri)
    {
        return g_key_file_has_key(k, GROUP, uri.c_str(), nullptr);
    }
    static GKeyFilePtr load()
    {
        return GKeyFilePtr(ulvo_fm_key_file_init(nullptr, STATE_DIR, STATE_FILE));
    }
    static void save(GKeyFile *k) { ulvo_fm_key_file_save(k, STATE_DIR, STATE_FILE); }
    static std::string serialized(GKeyFile *k)
    {
        return GCharPtr(g_key_file_to_data(k, nullptr, nullptr)).get();
    }
    static mode_t mode_of(const std::string &path)
    {
        struct stat st = {};
        return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }
    std::string bytes() const
    {
        gchar *data = nullptr;
        gsize length = 0;
        if (!g_file_get_contents(file.c_str(), &data, &length, nullptr))
            return "<unreadable>";
        return std::string(GCharPtr(data).get(), length);
    }

    // Names in the folder besides the key file and `keep`.
    std::vector<std::string> strays(const std::string &keep = "") const
    {
        std::vector<std::string> names;
        DIR *d = opendir(dir.c_str());
        while (struct dirent *e = d ? readdir(d) : nullptr) {
            std::string name = e->d_name;
            if (name != "." && name != ".." && name != "Folderstate" && name != keep)
                names.push_back(name);
        }
        if (d)
            closedir(d);
        return names;
    }

    // `count` folders whose values, and the pane position, depend on `version`.
    static GKeyFilePtr big_key_file(int count, int version)
    {
        GKeyFilePtr k(g_key_file_new());
        g_key_file_set_integer(k.get(), "ui", "pane_position", 100 + version);
        for (int i = 0; i < count; i++) {
            std::string uri = "file:///media/mmc1/a/rather/deep/folder/" + std::to_string(i);
            ulvo_fm_set_config_value_for_texturi(k.get(), uri.c_str(), version % 2,
                                                 (i + version) % 4 == 1 ? 2 : 3, 1);
        }
        return k;
    }
};

} // namespace

TEST_F(FolderState, FirstStartKeepsPresetsInMemoryUntilSaved)
{
    umask(0);
    GKeyFilePtr keyfile = load();
    ASSERT_TRUE(keyfile);
    EXPECT_EQ(mode_of(dir), 0755u);
    EXPECT_FALSE(ulvo_test::path_exists(file));

    const std::string pictures = home_uri("/MyDocs/.images");
    gint mode = 0, key = -1, order = 0;
    ulvo_fm_get_config_value_for_texturi(keyfile.get(), pictures.c_str(), &mode, &key, &order);
    EXPECT_EQ(mode * 100 + key * 10 + order, 121);
    EXPECT_EQ(stored(keyfile.get(), home_uri("/MyDocs/.sounds")), 64);

    save(keyfile.get());
    EXPECT_EQ(mode_of(file), 0644u);
    EXPECT_TRUE(strays().empty());

    // Reloading the same key file: the disk wins over unsaved changes.
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), pictures.c_str(), 0, 0, 0);
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), "file:///unsaved", 1, 3, 1);
    EXPECT_EQ(ulvo_fm_key_file_init(keyfile.get(), STATE_DIR, STATE_FILE), keyfile.get());
    EXPECT_EQ(stored(keyfile.get(), pictures), 98);
    EXPECT_FALSE(has(keyfile.get(), "file:///unsaved"));

    // Presets come only with a missing file: a removed entry stays removed.
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), pictures.c_str(), 0, 0, 0);
    save(keyfile.get());
    GKeyFilePtr again = load();
    EXPECT_FALSE(has(again.get(), pictures));
    EXPECT_EQ(stored(again.get(), home_uri("/MyDocs/.sounds")), 64);
}

TEST_F(FolderState, PresetsFollowTheUserSpecialFolders)
{
    const std::string dirs = test_home() + "/.config/user-dirs.dirs";
    write_file(dirs, "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    g_reload_user_special_dirs_cache();
    GKeyFilePtr no_pictures = load();
    EXPECT_EQ(stored(no_pictures.get(), home_uri("/MyDocs/.images")), 98);
    EXPECT_EQ(stored(no_pictures.get(), home_uri("/MyDocs/.sounds")), 64);
    EXPECT_FALSE(has(no_pictures.get(), home_uri("/Tunes")));

    write_file(dirs, "XDG_PICTURES_DIR=\"$HOME/Pics\"\nXDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    g_reload_user_special_dirs_cache();
    GKeyFilePtr both = load();
    EXPECT_EQ(stored(both.get(), home_uri("/Pics")), 98);
    EXPECT_EQ(stored(both.get(), home_uri("/Tunes")), 64);
    EXPECT_FALSE(has(both.get(), home_uri("/MyDocs/.images")));
}

TEST_F(FolderState, InvalidFileReadsEmptyAndGetsNoPresets)
{
    write_file(file, "[FOLDER STATE]\nfile:///kept=35\nthis is no key file line\n");
    GKeyFilePtr keyfile = load();
    ASSERT_TRUE(keyfile);
    EXPECT_FALSE(g_key_file_has_group(keyfile.get(), GROUP));

    // Settings already in memory stay, rather than a part of the broken
    // file, so that the next save repairs it.
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), "file:///memory", 1, 0, 0);
    ulvo_fm_key_file_init(keyfile.get(), STATE_DIR, STATE_FILE);
    EXPECT_EQ(stored(keyfile.get(), "file:///memory"), 64);
    EXPECT_FALSE(has(keyfile.get(), "file:///kept"));
}

TEST_F(FolderState, ViewStateEncodingAndRemoval)
{
    GKeyFilePtr k(g_key_file_new());
    struct {
        gint mode, key, order, value;
    } cases[] = {{0, 3, 1, 35}, {1, 2, 1, 98}, {1, 3, 1, 99}, {1, 0, 0, 64}, {0, 2, 0, 2}};
    for (const auto &c : cases) {
        ASSERT_EQ(
            ulvo_fm_set_config_value_for_texturi(k.get(), "file:///f", c.mode, c.key, c.order), 0);
        EXPECT_EQ(stored(k.get(), "file:///f"), c.value);
        gint mode = 0, key = -1, order = 0;
        ASSERT_EQ(ulvo_fm_get_config_value_for_texturi(k.get(), "file:///f", &mode, &key, &order),
                  0);
        EXPECT_EQ(mode * 100 + key * 10 + order, c.mode * 100 + c.key * 10 + c.order) << c.value;
    }
    ulvo_fm_set_config_value_for_texturi(k.get(), "file:///f", 0, 0, 0);
    EXPECT_FALSE(has(k.get(), "file:///f"));

    // Missing or malformed entries: key 0, mode and order left as given.
    g_key_file_set_value(k.get(), GROUP, "file:///text", "abc");
    g_key_file_set_integer(k.get(), GROUP, "file:///negative", -1);
    g_key_file_set_integer(k.get(), GROUP, "file:///huge", 0x1ff);
    for (const char *uri : {"file:///f", "file:///text", "file:///negative", "file:///huge"}) {
        gint mode = 7, key = 7, order = 7;
        EXPECT_EQ(ulvo_fm_get_config_value_for_texturi(k.get(), uri, &mode, &key, &order), 0);
        EXPECT_EQ(mode * 100 + key * 10 + order, 707) << uri;
    }

    LogRecorder log("filemanager");
    EXPECT_EQ(ulvo_fm_set_config_value_for_texturi(nullptr, "file:///f", 1, 0, 0), 1);
    EXPECT_EQ(ulvo_fm_set_config_value_for_texturi(k.get(), "file:///f", 0, 0x20, 0), 1);
    EXPECT_EQ(ulvo_fm_get_config_value_for_texturi(k.get(), nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_TRUE(log.contains("assertion 'key_file != NULL' failed"));
    EXPECT_TRUE(log.contains("assertion 'path_texturi != NULL' failed"));
    EXPECT_FALSE(has(k.get(), "file:///f"));
}

TEST_F(FolderState, SaveKeepsTheUiGroupAndAwkwardFolderNames)
{
    write_file(file, "[ui]\npane_position=321\n\n[FOLDER STATE]\nfile:///a=35\n");
    GKeyFilePtr keyfile = load();
    const char *const awkward[] = {"file:///a=b", "file:///x[1]", "file:///line\nbreak",
                                   "file:///end "};
    for (const char *uri : awkward)
        ulvo_fm_set_config_value_for_texturi(keyfile.get(), uri, 1, 3, 0);
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), "file:///a", 0, 0, 0);
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), "file:///b", 0, 2, 1);
    save(keyfile.get());

    GKeyFilePtr saved = load();
    EXPECT_EQ(g_key_file_get_integer(saved.get(), "ui", "pane_position", nullptr), 321);
    EXPECT_FALSE(has(saved.get(), "file:///a"));
    EXPECT_EQ(stored(saved.get(), "file:///b"), 34);
    for (const char *uri : awkward) {
        gint mode = 0, key = 0, order = 0;
        ulvo_fm_get_config_value_for_texturi(saved.get(), uri, &mode, &key, &order);
        EXPECT_EQ(mode * 100 + key * 10 + order, 130) << uri;
    }
}

TEST_F(FolderState, CopiesViewSettingsInTheApplicationKeyFile)
{
    GKeyFilePtr keyfile(g_key_file_new());
    UlvoFmApp app{};
    app.keyfile = keyfile.get();
    global_ofm = &app;

    const std::string parent = home_uri("/MyDocs");
    const std::string child = home_uri("/MyDocs/new folder");
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), parent.c_str(), 1, 2, 1);
    ulvo::GObjPtr<GFile> parent_file(g_file_new_for_uri(parent.c_str()));
    ulvo::GObjPtr<GFile> child_file(g_file_new_for_uri(child.c_str()));
    ulvo_fm_copy_uri_view_settings(child_file.get(), parent_file.get());
    EXPECT_EQ(stored(keyfile.get(), child), 98);

    // A source at the defaults takes the destination back to the defaults.
    ulvo_fm_copy_texturi_view_settings(child.c_str(), "file:///nowhere");
    EXPECT_FALSE(has(keyfile.get(), child));

    global_ofm = nullptr;
    ulvo_fm_copy_texturi_view_settings(child.c_str(), parent.c_str());
    EXPECT_FALSE(has(keyfile.get(), child));
}

TEST_F(FolderState, FolderThatCannotBeMadeKeepsTheKeyFile)
{
    write_file(test_home() + "/.ulvo", "a file where the folder belongs");
    LogRecorder log("filemanager");
    EXPECT_EQ(ulvo_fm_key_file_init(nullptr, STATE_DIR, STATE_FILE), nullptr);
    EXPECT_TRUE(log.contains("Folder " + dir + " couldn't be created"));
    EXPECT_TRUE(log.contains("assertion 'ulvo_fm_ensure_path_exists (path)' failed"));

    GKeyFilePtr keyfile(g_key_file_new());
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), "file:///a", 1, 0, 0);
    EXPECT_EQ(ulvo_fm_key_file_init(keyfile.get(), STATE_DIR, STATE_FILE), keyfile.get());
    EXPECT_EQ(stored(keyfile.get(), "file:///a"), 64);
    save(nullptr);
    EXPECT_TRUE(log.contains("assertion 'keyfile != NULL' failed"));
}

// Unmounts the tmpfs before the test HOME is removed.
struct TmpfsMount {
    std::string where;
    ~TmpfsMount()
    {
        if (!where.empty())
            umount2(where.c_str(), MNT_DETACH);
    }
};

TEST_F(FolderState, FullDiskLeavesThePreviousFileWhole)
{
    // Only this thread, and so this test, sees the mount.
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "no private mount namespace here (" << g_strerror(errno) << ")";
    ulvo_test::make_dir(dir);
    TmpfsMount tmpfs;
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs (" << g_strerror(errno) << ")";
    tmpfs.where = dir;

    GKeyFilePtr small(big_key_file(20, 0));
    save(small.get());
    const std::string before = bytes();
    ASSERT_EQ(before, serialized(small.get()));

    int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const std::string chunk(4096, 'x');
    while (write(fd, chunk.data(), chunk.size()) > 0) {
    }
    const int write_errno = errno;
    close(fd);
    ASSERT_EQ(write_errno, ENOSPC);

    GKeyFilePtr big(big_key_file(3000, 1));
    LogRecorder log("filemanager");
    save(big.get());
    EXPECT_TRUE(log.contains("Saving configuration to " + file + " failed: " + g_strerror(ENOSPC)))
        << log.text();
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(serialized(load().get()), before);
    EXPECT_EQ(strays("filler"), std::vector<std::string>{});
}

TEST_F(FolderState, KilledSaveLeavesOneCompleteVersion)
{
    GKeyFilePtr version_a(big_key_file(40000, 0));
    GKeyFilePtr version_b(big_key_file(40000, 1));
    const std::string text_a = serialized(version_a.get());
    const std::string text_b = serialized(version_b.get());
    save(version_a.get());
    ASSERT_EQ(bytes(), text_a);

    for (int round = 0; round < 5; round++) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                save(version_b.get());
                save(version_a.get());
            }
        }
        // Readers see a complete version at every moment of the saves.
        bool whole = true;
        for (int reads = g_random_int_range(1, 30); reads > 0 && whole; reads--) {
            const std::string now = bytes();
            whole = now == text_a || now == text_b;
        }
        EXPECT_TRUE(whole) << "round " << round << ": a reader saw a partial file";

        // Strike while a save is under way: its temporary file exists.
        const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
        while (strays().empty() && g_get_monotonic_time() < deadline)
            sched_yield();
        volatile guint32 spin = g_random_int_range(0, 2000000);
        while (spin > 0)
            spin = spin - 1;
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string after = bytes();
        EXPECT_TRUE(after == text_a || after == text_b)
            << "round " << round << ": " << after.size() << " bytes";
        EXPECT_EQ(g_key_file_get_integer(load().get(), "ui", "pane_position", nullptr) / 100, 1);
        // A killed writer cannot tidy up after itself.
        for (const std::string &name : strays())
            g_unlink((dir + "/" + name).c_str());
    }
}

namespace
{

// Takes from root, for its life, the power to read files whatever their
// mode, so that mode 000 stops this thread as it stops anyone.
class NoReadOverride
{
  public:
    NoReadOverride()
    {
        if (capget(&header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = capset(&header_, lowered) == 0;
    }
    ~NoReadOverride()
    {
        if (active_)
            capset(&header_, saved_);
    }
    bool active() const { return active_; }

  private:
    static int capget(__user_cap_header_struct *h, __user_cap_data_struct *d)
    {
        return int(syscall(SYS_capget, h, d));
    }
    static int capset(__user_cap_header_struct *h, __user_cap_data_struct *d)
    {
        return int(syscall(SYS_capset, h, d));
    }
    __user_cap_header_struct header_ = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool active_ = false;
};

std::string file_bytes(const std::string &path)
{
    gchar *data = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(path.c_str(), &data, &length, nullptr))
        return "<unreadable>";
    return std::string(GCharPtr(data).get(), length);
}

mode_t type_of(const std::string &path)
{
    struct stat st = {};
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

} // namespace

TEST_F(FolderState, DamagedFileIsKeptBesideTheNewOneNeverOverAnOlderOne)
{
    const std::string cut = "[ui]\npane_position=321\n[FOLDER STATE]\nfile:///a=35\nfile:///b";
    write_file(file, cut);
    GKeyFilePtr keyfile = load();
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), "file:///new", 1, 0, 0);
    {
        LogRecorder log("filemanager");
        save(keyfile.get());
        EXPECT_TRUE(log.contains("Folder state " + file + " is damaged")) << log.text();
        EXPECT_TRUE(log.contains("kept as " + file + ".damaged")) << log.text();
    }
    EXPECT_EQ(file_bytes(file + ".damaged"), cut);
    EXPECT_EQ(stored(load().get(), "file:///new"), 64);

    // A second damage keeps both.
    const std::string garbage = "\x01\x02 not a key file at all";
    write_file(file, garbage);
    ulvo_fm_key_file_init(keyfile.get(), STATE_DIR, STATE_FILE);
    save(keyfile.get());
    EXPECT_EQ(file_bytes(file + ".damaged"), cut);
    EXPECT_EQ(file_bytes(file + ".damaged-2"), garbage);

    // A sound file is replaced as before.
    save(keyfile.get());
    std::vector<std::string> names = strays();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Folderstate.damaged", "Folderstate.damaged-2"}));
    EXPECT_EQ(bytes(), serialized(keyfile.get()));
}

TEST_F(FolderState, UnreadableFileIsKept)
{
    const std::string text = "[FOLDER STATE]\nfile:///precious=98\n";
    write_file(file, text);
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    GKeyFilePtr keyfile(g_key_file_new());
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), "file:///memory", 1, 0, 0);
    {
        NoReadOverride as_anyone;
        int fd = open(file.c_str(), O_RDONLY);
        if (fd >= 0)
            close(fd);
        if (fd >= 0)
            GTEST_SKIP() << "mode 000 does not stop this process from reading";
        ulvo_fm_key_file_init(keyfile.get(), STATE_DIR, STATE_FILE);
        EXPECT_EQ(stored(keyfile.get(), "file:///memory"), 64);
        EXPECT_FALSE(has(keyfile.get(), "file:///precious"));
        save(keyfile.get());
    }
    EXPECT_EQ(mode_of(file + ".damaged"), 0u);
    EXPECT_EQ(file_bytes(file + ".damaged"), text);
    EXPECT_EQ(bytes(), serialized(keyfile.get()));
}

TEST_F(FolderState, FilesThatAreNotRegularAreNeitherReadNorLost)
{
    ulvo_test::make_dir(dir);
    ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
    GKeyFilePtr keyfile;
    {
        LogRecorder log("filemanager");
        EXPECT_TRUE(ulvo_test::returns_despite_fifo(file, [&] { keyfile = load(); }))
            << "loading waited for a writer of the FIFO";
        EXPECT_TRUE(log.contains("is not a regular file")) << log.text();
    }
    ASSERT_TRUE(keyfile);
    ulvo_fm_set_config_value_for_texturi(keyfile.get(), "file:///kept", 0, 3, 1);
    EXPECT_TRUE(ulvo_test::returns_despite_fifo(file, [&] { save(keyfile.get()); }))
        << "saving opened the FIFO";
    EXPECT_EQ(type_of(file + ".damaged"), mode_t(S_IFIFO));
    EXPECT_EQ(stored(load().get(), "file:///kept"), 35);

    ASSERT_EQ(g_unlink(file.c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", file.c_str()), 0);
    {
        ulvo_test::AddressSpaceCap cap(256ull << 20);
        LogRecorder log("filemanager");
        ulvo_fm_key_file_init(keyfile.get(), STATE_DIR, STATE_FILE);
        EXPECT_TRUE(log.contains("is not a regular file")) << log.text();
    }
    EXPECT_EQ(stored(keyfile.get(), "file:///kept"), 35);
    // A link to nothing is the user's too.
    ASSERT_EQ(symlink("/media/mmc1/Folderstate", (dir + "/dangling").c_str()), 0);
    save(keyfile.get());
    ASSERT_EQ(rename((dir + "/dangling").c_str(), file.c_str()), 0);
    save(keyfile.get());

    char target[64] = {};
    ASSERT_GT(readlink((file + ".damaged-2").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "/dev/zero");
    char dangling[64] = {};
    ASSERT_GT(readlink((file + ".damaged-3").c_str(), dangling, sizeof dangling - 1), 0);
    EXPECT_STREQ(dangling, "/media/mmc1/Folderstate");
    EXPECT_EQ(type_of(file), mode_t(S_IFREG));
    EXPECT_EQ(stored(load().get(), "file:///kept"), 35);
}

TEST_F(FolderState, LeftoversOfInterruptedSavesGoAtTheFirstLoad)
{
    const std::vector<std::string> leftovers = {"Folderstate.Ab12Cd", "Folderstate.zz99ZZ"};
    std::vector<std::string> kept = {"Folderstate.damaged", "Folderstate.Ab12C",
                                     "Folderstate.Ab12Cd.bak", "Folderstate-Ab12Cd",
                                     "Folderstat.Ab12Cd"};
    for (const std::string &name : leftovers)
        write_file(dir + "/" + name, "[FOLDER STATE]\nfile:///half");
    for (const std::string &name : kept)
        write_file(dir + "/" + name, "the user's");
    ulvo_test::make_dir(dir + "/Folderstate.Dir123");
    ASSERT_EQ(symlink("Folderstate.damaged", (dir + "/Folderstate.Lnk123").c_str()), 0);
    kept.push_back("Folderstate.Dir123");
    kept.push_back("Folderstate.Lnk123");
    std::sort(kept.begin(), kept.end());

    {
        LogRecorder log("filemanager");
        GKeyFilePtr keyfile = load();
        EXPECT_TRUE(log.contains("Removed 2 temporary files of interrupted saves beside " + file))
            << log.text();
    }
    std::vector<std::string> left = strays();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, kept);

    // Later loads, when the window comes back to the front, leave the folder be.
    write_file(dir + "/Folderstate.Xy34Zw", "");
    load();
    EXPECT_TRUE(ulvo_test::path_exists(dir + "/Folderstate.Xy34Zw"));
}
