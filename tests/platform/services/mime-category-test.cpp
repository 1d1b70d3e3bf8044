// Categories of MIME types, as the rename texts pick them.
#include "platform/services/kivel-mime.h"

#include <gtest/gtest.h>

TEST(MimeCategory, MediaTypesAndKnownTypesGetTheirCategoryAndTheRestNone)
{
    const struct {
        const char *type;
        KivelMimeCategory category;
    } cases[] = {
        {"image/jpeg", KIVEL_MIME_CATEGORY_IMAGES},
        {"Audio/MPEG", KIVEL_MIME_CATEGORY_AUDIO},
        {"video/mp4; codecs=avc1", KIVEL_MIME_CATEGORY_VIDEO},
        {"message/rfc822", KIVEL_MIME_CATEGORY_EMAILS},
        {"application/x-xbel", KIVEL_MIME_CATEGORY_BOOKMARKS},
        {"text/x-vcard", KIVEL_MIME_CATEGORY_CONTACTS},
        {"text/plain", KIVEL_MIME_CATEGORY_DOCUMENTS},
        {"application/vnd.oasis.opendocument.text", KIVEL_MIME_CATEGORY_DOCUMENTS},
        // A whole type is no prefix of a longer one.
        {"application/pdfx", KIVEL_MIME_CATEGORY_OTHER},
        {"application/octet-stream", KIVEL_MIME_CATEGORY_OTHER},
        {nullptr, KIVEL_MIME_CATEGORY_OTHER},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kivel_mime_get_category_for_mime_type(c.type), c.category)
            << (c.type ? c.type : "NULL");
}
