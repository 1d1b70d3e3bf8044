// The program itself: started as a person's session starts it, ended by SIGINT.
#include "program-support.h"
#include "platform/libulvo/ulvo.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <string>

using ulvo_e2e::Program;
using ulvo_e2e::read_saved_state;

TEST(Program, SigintEndsWithStatusZeroAfterTheNormalShutdown)
{
    Program program;
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.await_ready());
    // The program owns its bus name while it runs.
    EXPECT_EQ(ulvo_initialize("ulvo_filemanager", "0.4.6", TRUE, nullptr), nullptr);

    program.signal(SIGINT);
    int status = program.await_exit_status();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The shutdown wrote the closed state and saved the folder settings.
    EXPECT_EQ(read_saved_state(), "Closed");
    EXPECT_TRUE(
        ulvo_test::path_exists(ulvo_test::test_home() + "/.ulvo/ULVO_FILEMANAGER/Folderstate"));
    EXPECT_TRUE(ulvo_test::path_exists(ulvo_test::test_home() + "/MyDocs/.images"));
}

TEST(Program, TwoSigintsInARowStillEndCleanly)
{
    Program program;
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.await_ready());
    program.signal(SIGINT);
    program.signal(SIGINT);
    int status = program.await_exit_status();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
