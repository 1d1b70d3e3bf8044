// Categories of MIME types, as the rename texts pick them.
#include "platform/services/kivel-mime.h"

#include <gtest/gtest.h>

TEST(MimeCategory, MediaTypesAndKnownTypesGetTheirCategoryAndTheRestNone)
{
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("image/jpeg"), KIVEL_MIME_CATEGORY_IMAGES);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("Audio/MPEG"), KIVEL_MIME_CATEGORY_AUDIO);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("video/mp4; codecs=avc1"),
              KIVEL_MIME_CATEGORY_VIDEO);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("message/rfc822"), KIVEL_MIME_CATEGORY_EMAILS);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("application/x-xbel"),
              KIVEL_MIME_CATEGORY_BOOKMARKS);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("text/x-vcard"), KIVEL_MIME_CATEGORY_CONTACTS);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("text/plain"), KIVEL_MIME_CATEGORY_DOCUMENTS);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("application/vnd.oasis.opendocument.text"),
              KIVEL_MIME_CATEGORY_DOCUMENTS);
    // A whole type is no prefix of a longer one.
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("application/pdfx"), KIVEL_MIME_CATEGORY_OTHER);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type("application/octet-stream"),
              KIVEL_MIME_CATEGORY_OTHER);
    EXPECT_EQ(kivel_mime_get_category_for_mime_type(nullptr), KIVEL_MIME_CATEGORY_OTHER);
}
