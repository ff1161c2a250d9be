#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>

#include "common/Launch.h"
#include "support/TestSupport.h"

using namespace velum::test;

TEST(StartProgram, StartsInItsOwnSessionWithoutArgumentsAndIsReaped) {
    TempStore temp;
    const std::string script = temp.root() + "/probe.sh", out = script + ".out";
    WriteWholeFile(script,
                   "#!/bin/sh\nread -r pid comm state ppid pgrp sid rest </proc/$$/stat\n"
                   "[ $sid = $pid ] && [ $# = 0 ] && echo $pid >$0.tmp && mv $0.tmp $0.out\n");
    chmod(script.c_str(), 0700);
    ASSERT_TRUE(velum::StartProgram(script));
    // Its id appears once it runs in a session of its own; its /proc entry goes once it is reaped.
    const std::string gone = "until [ -s " + out + " ] && ! [ -e /proc/$(cat " + out + ") ]";
    EXPECT_EQ(std::system(("timeout 10 sh -c '" + gone + "; do sleep 0.02; done'").c_str()), 0);
    EXPECT_FALSE(velum::StartProgram(out)); // not executable
}
