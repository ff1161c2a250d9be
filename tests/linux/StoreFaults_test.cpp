#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/IoFailure.h"
#include "store/CollectionStore.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;

TEST(StoreFaults, AWriteThatFailsPartWayIsReportedAndLeavesTheOldFileIntact) {
    TempFolder store;
    SaveCollectionFile(store.root(), "Old", TestPictures("old", 300));
    const std::string before = ReadWholeFile(ConfigFilePath(store.root()));
    const rlim_t lineBytes = sizeof R"("Bmp","New","/home/ann/Pictures/new/10.bmp")" + 1; // CRLF
    for (rlim_t lines : {0, 1, 7, 120}) {
        const pid_t child = fork();
        if (child == 0) { // the file size limit makes the write fail after `lines` lines
            const rlimit limit{lines * lineBytes, lines * lineBytes};
            std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &limit);
            try {
                SaveCollectionFile(store.root(), "New", TestPictures("new", 200));
            } catch (const IoFailure&) {
                _exit(1);
            }
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 1) << "no failure reported after " << lines << " lines";
        EXPECT_EQ(ReadWholeFile(ConfigFilePath(store.root())), before) << lines;
    }
}
