// Operations refused on media server items, and the banner that says why.
#include "notices-fixture.h"

using namespace notices_test;
using ulvo_test::LogRecorder;

namespace
{

// Selection counts that give one selection type; `stale` gives the error type.
struct Counts {
    int files, folders, safe, gateways, roots;
    bool stale;
};

const Counts none = {0, 0, 0, 0, 0, false};
const Counts one_file = {1, 0, 0, 0, 0, false};
const Counts two_files = {2, 0, 0, 0, 0, false};
const Counts one_folder = {0, 1, 0, 0, 0, false};
const Counts two_folders = {0, 2, 0, 0, 0, false};
const Counts one_safe = {0, 1, 1, 0, 0, false};
const Counts gateway = {0, 1, 0, 1, 0, false};
const Counts root = {0, 1, 0, 0, 1, false};
const Counts mixed = {1, 1, 0, 0, 0, false};
const Counts unknown = {0, 0, 0, 0, 0, true};

struct Case {
    gint operation;
    Counts counts;
    UlvoFmSelectionInfoType type;
    const char *banner;  // nullptr: not refused
    const char *warning; // logged when not refused, or nullptr
};

const Case cases[] = {
    {OPER_NEW_FOLDER, none, SIT_NONE, "Location is read-only", nullptr},
    {OPER_NEW_FOLDER, one_file, SIT_SINGLE_FILE, "Location is read-only", nullptr},
    {OPER_NEW_FOLDER, unknown, SIT_ERROR_IN_GETTING_INFO, "Location is read-only", nullptr},
    {OPER_RENAME, one_file, SIT_SINGLE_FILE, "Operation failed", nullptr},
    {OPER_RENAME, two_folders, SIT_MULTIPLE_FOLDERS, nullptr, "media_items_get_rename_error"},
    {OPER_RENAME, none, SIT_NONE, nullptr, nullptr},
    {OPER_DELETE, one_file, SIT_SINGLE_FILE, "Unable to delete file", nullptr},
    {OPER_DELETE, one_folder, SIT_SINGLE_FOLDER, "Unable to delete the selected folder", nullptr},
    {OPER_DELETE, mixed, SIT_FILES_AND_FOLDERS, "Unable to delete the selected items", nullptr},
    {OPER_DELETE, one_safe, SIT_SINGLE_SAFE_FOLDER, nullptr, "media_items_get_cut_error"},
    {OPER_DELETE, unknown, SIT_ERROR_IN_GETTING_INFO, nullptr, "SIT_ERROR_IN_GETTING_INFO"},
    {OPER_COPY, one_file, SIT_SINGLE_FILE, nullptr, nullptr},
    {OPER_COPY, two_folders, SIT_MULTIPLE_FOLDERS, nullptr, nullptr},
    {OPER_COPY, gateway, SIT_GATEWAY, "Operation failed", nullptr},
    {OPER_MOVE, two_files, SIT_MULTIPLE_FILES, "Unable to move the selected items", nullptr},
    {OPER_MOVE, one_folder, SIT_SINGLE_FOLDER, "Unable to move the selected folder", nullptr},
    {OPER_MOVE, root, SIT_DEVICE_ROOT, nullptr, "media_items_get_cut_error"},
    {OPER_OPEN, one_file, SIT_SINGLE_FILE, nullptr, nullptr},
    {OPER_SEND, two_files, SIT_MULTIPLE_FILES, nullptr, nullptr},
    {OPER_DETAILS, gateway, SIT_GATEWAY, nullptr, nullptr},
};

void give_counts(UlvoFmSelectionInfo *info, const Counts &c)
{
    ulvo_fm_selection_info_reset(info);
    info->n_files = c.files;
    info->n_folders = c.folders;
    info->n_safe_folders = c.safe;
    info->n_gateways = c.gateways;
    info->n_device_roots = c.roots;
    info->stale = c.stale;
}

} // namespace

// The model cannot show a media server here, so the record is given the
// media server folder and its counts directly: the rule reads only those.
TEST_F(NoticesTest, MediaServerRuleRefusesWithTheFittingBanner)
{
    ulvo_fm_selection_info_set_current_folder(info(), "upnpav://server/music");
    info()->in_media_server = TRUE;
    for (const Case &c : cases) {
        give_counts(info(), c.counts);
        ASSERT_EQ(type(), c.type);
        LogRecorder shown("Kivel");
        LogRecorder log("filemanager");
        gboolean refused = media_items_check_operation(c.operation, global_ofm);
        SCOPED_TRACE("operation " + std::to_string(c.operation) + ", selection type " +
                     std::to_string(c.type));
        EXPECT_EQ(refused, c.banner != nullptr);
        if (c.banner)
            EXPECT_EQ(shown.text(), std::string("banner: ") + c.banner + "\n");
        else
            EXPECT_EQ(shown.text(), "");
        if (c.warning)
            EXPECT_TRUE(log.contains(c.warning)) << log.text();
        else
            EXPECT_EQ(log.text(), "");
    }
}

TEST_F(NoticesTest, MediaServerRuleLetsEverythingThroughElsewhere)
{
    enter(docs, 5);
    refresh(1);
    ASSERT_FALSE(info()->in_media_server);
    LogRecorder shown("Kivel");
    for (gint operation : {OPER_NEW_FOLDER, OPER_RENAME, OPER_DELETE, OPER_COPY, OPER_MOVE})
        EXPECT_FALSE(media_items_check_operation(operation, global_ofm)) << operation;
    EXPECT_EQ(shown.text(), "");
}
