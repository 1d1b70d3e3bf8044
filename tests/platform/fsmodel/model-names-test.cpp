// Free names proposed by the model, and the backend's conversions between
// paths and text URIs.
#include "platform/fsmodel/model-fixture.h"

#include <glib/gstdio.h>
#include <unistd.h>

using namespace model_test;
using ulvo_test::make_dir;
using ulvo_test::write_file;

namespace
{

class ModelNames : public ModelTest
{
  protected:
    // The proposal for the location `path`, as a local path ("" on error).
    std::string autoname(const std::string &path)
    {
        GError *error = nullptr;
        gchar *uri = kivel_file_system_model_autoname_uri(model_, uri_of(path).c_str(), &error);
        if (!uri) {
            std::string message = error ? error->message : "no error";
            g_clear_error(&error);
            ADD_FAILURE() << "no name for " << path << ": " << message;
            return "";
        }
        gchar *local = g_filename_from_uri(uri, nullptr, nullptr);
        std::string result = local ? local : uri;
        g_free(local);
        g_free(uri);
        return result;
    }

    KivelFileSystemBackend *backend()
    {
        KivelFileSystemBackend *backend = nullptr;
        g_object_get(model_, "backend-object", &backend, nullptr);
        g_object_unref(backend); // the model keeps it
        return backend;
    }

    std::string text(gchar *owned)
    {
        std::string result = owned ? owned : "(null)";
        g_free(owned);
        return result;
    }
};

TEST_F(ModelNames, AutonameCountsUpFromTheNameOnDisk)
{
    std::string dir = docs_ + "/names";
    make_dir(dir);
    // A free name is its own proposal.
    EXPECT_EQ(dir + "/free.txt", autoname(dir + "/free.txt"));

    write_file(dir + "/Report.txt");
    EXPECT_EQ(dir + "/Report (1).txt", autoname(dir + "/Report.txt"));
    write_file(dir + "/Report (1).txt");
    EXPECT_EQ(dir + "/Report (2).txt", autoname(dir + "/Report.txt"));
    write_file(dir + "/Report (4).txt");
    EXPECT_EQ(dir + "/Report (5).txt", autoname(dir + "/Report (4).txt"));

    write_file(dir + "/archive.tar.gz");
    EXPECT_EQ(dir + "/archive (1).tar.gz", autoname(dir + "/archive.tar.gz"));
    write_file(dir + "/README");
    EXPECT_EQ(dir + "/README (1)", autoname(dir + "/README"));
    write_file(dir + "/.profile");
    EXPECT_EQ(dir + "/.profile (1)", autoname(dir + "/.profile"));
    make_dir(dir + "/holiday.2024");
    EXPECT_EQ(dir + "/holiday.2024 (1)", autoname(dir + "/holiday.2024"))
        << "a folder's name has no extension";

    // A dangling link holds its name.
    ASSERT_EQ(0, symlink("/nonexistent/target", (dir + "/Report (2).txt").c_str()));
    EXPECT_EQ(dir + "/Report (3).txt", autoname(dir + "/Report (1).txt"));

    // Escaped names come back escaped the way GIO spells them.
    write_file(dir + "/été #1 100%.txt");
    GError *error = nullptr;
    gchar *uri = kivel_file_system_model_autoname_uri(
        model_, uri_of(dir + "/été #1 100%.txt").c_str(), &error);
    EXPECT_EQ(uri_of(dir + "/été #1 100% (1).txt"), text(uri));

    // A special folder's title typed at a root gets the next free number,
    // never a second one.
    make_dir(docs_ + "/Images (1)");
    EXPECT_EQ(docs_ + "/Images (2)", autoname(docs_ + "/Images (1)"));
}

TEST_F(ModelNames, AutonameReportsWhatItCannotName)
{
    GError *error = nullptr;
    EXPECT_EQ(nullptr, kivel_file_system_model_autoname_uri(model_, "file:///", &error));
    EXPECT_TRUE(g_error_matches(error, G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT));
    g_clear_error(&error);
    EXPECT_EQ(nullptr, kivel_file_system_model_autoname_uri(model_, "no uri at all", &error));
    EXPECT_NE(nullptr, error);
    g_clear_error(&error);

    // Every number taken: the search gives up with an error.
    std::string dir = docs_ + "/crowded";
    make_dir(dir);
    write_file(dir + "/x");
    for (int i = 1; i <= 1000; i++)
        write_file(dir + "/x (" + std::to_string(i) + ")");
    EXPECT_EQ(nullptr,
              kivel_file_system_model_autoname_uri(model_, uri_of(dir + "/x").c_str(), &error));
    EXPECT_TRUE(g_error_matches(error, G_IO_ERROR, G_IO_ERROR_FAILED));
    g_clear_error(&error);
}

TEST_F(ModelNames, AutonameKeepsLongNamesWithinTheLimit)
{
    std::string dir = docs_ + "/long";
    std::string name;
    while (name.size() < 250)
        name += "é"; // two bytes each
    name += ".txt";  // 254 bytes in all
    write_file(dir + "/" + name);
    std::string proposal = autoname(dir + "/" + name);
    gchar *base = g_path_get_basename(proposal.c_str());
    std::string short_name = base;
    g_free(base);
    EXPECT_LE(short_name.size(), 255u);
    EXPECT_TRUE(g_utf8_validate(short_name.c_str(), -1, nullptr));
    EXPECT_TRUE(g_str_has_suffix(short_name.c_str(), " (1).txt")) << short_name;
}

TEST_F(ModelNames, BackendConvertsPathsAndURIs)
{
    KivelFileSystemBackend *fs = backend();
    ASSERT_TRUE(KIVEL_IS_FILE_SYSTEM_BACKEND(fs));
    std::string docs_uri = uri_of(docs_);

    EXPECT_EQ(docs_uri + "/a%20b",
              text(kivel_file_system_backend_uri_to_path(fs, (docs_uri + "/a%20b/").c_str())));
    EXPECT_EQ(docs_uri + "/a%20b",
              text(kivel_file_system_backend_uri_to_path(fs, (docs_uri + "/x/../a%20b").c_str())));
    EXPECT_EQ(docs_uri, text(kivel_file_system_backend_path_to_uri(fs, docs_uri.c_str())));
    EXPECT_EQ("smb://server/share",
              text(kivel_file_system_backend_uri_to_path(fs, "smb://server/share/")));
    EXPECT_EQ("smb://server/", text(kivel_file_system_backend_uri_to_path(fs, "smb://server/")));
    EXPECT_EQ("(null)", text(kivel_file_system_backend_uri_to_path(fs, "no scheme")));

    EXPECT_EQ(uri_of(docs_ + "/a b#c%d é.txt"),
              text(kivel_file_system_backend_make_path(fs, docs_uri.c_str(), "a b#c%d é.txt")));
    EXPECT_EQ("file:///top", text(kivel_file_system_backend_make_path(fs, "file:///", "top")));
    EXPECT_EQ("smb://server/share/a%20b%23",
              text(kivel_file_system_backend_make_path(fs, "smb://server/share", "a b#")));
    EXPECT_EQ("(null)", text(kivel_file_system_backend_make_path(fs, docs_uri.c_str(), "a/b")));
    EXPECT_EQ("(null)", text(kivel_file_system_backend_make_path(fs, docs_uri.c_str(), "")));
    EXPECT_EQ("(null)",
              text(kivel_file_system_backend_make_path(fs, KIVEL_FILE_SYSTEM_ROOT_URI, "x")));
}

TEST_F(ModelNames, BackendKnowsTheParentsOfTopLevelLocations)
{
    KivelFileSystemBackend *fs = backend();
    std::string docs_uri = uri_of(docs_);
    EXPECT_EQ(KIVEL_FILE_SYSTEM_ROOT_URI,
              text(kivel_file_system_backend_get_parent(fs, docs_uri.c_str())));
    EXPECT_EQ("(null)", text(kivel_file_system_backend_get_parent(fs, KIVEL_FILE_SYSTEM_ROOT_URI)));
    EXPECT_EQ(docs_uri + "/.images", text(kivel_file_system_backend_get_parent(
                                         fs, (docs_uri + "/.images/trip%20one").c_str())));
    EXPECT_EQ(docs_uri,
              text(kivel_file_system_backend_get_parent(fs, (docs_uri + "/.images").c_str())));
    EXPECT_EQ("smb://server/share",
              text(kivel_file_system_backend_get_parent(fs, "smb://server/share/dir")));
    EXPECT_EQ("smb://server/",
              text(kivel_file_system_backend_get_parent(fs, "smb://server/share")));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_ROOT_URI,
              text(kivel_file_system_backend_get_parent(fs, "obex://[00:11:22:33:44:55]/")));

    // Walking up from any row reaches the virtual root through the rows.
    gchar *path = g_strdup((docs_uri + "/a/b").c_str());
    int steps = 0;
    while (path && steps < 10) {
        gchar *parent = kivel_file_system_backend_get_parent(fs, path);
        g_free(path);
        path = parent;
        steps++;
    }
    EXPECT_EQ(nullptr, path);
    EXPECT_EQ(4, steps) << "a/b -> a -> MyDocs -> files:/// -> none";
}

} // namespace
