#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "common/Launch.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::chrono_literals;

namespace {
template <class F> bool Eventually(F done, std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit; !done();) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}
} // namespace

TEST(StartProgram, StartsInItsOwnSessionWithoutArgumentsAndIsReaped) {
    TempStore temp;
    const std::string script = temp.root() + "/probe.sh", out = script + ".out";
    WriteWholeFile(script,
                   "#!/bin/sh\nread -r pid comm state ppid pgrp sid rest </proc/$$/stat\n"
                   "[ $sid = $pid ] && [ $# = 0 ] && echo $pid >$0.tmp && mv $0.tmp $0.out\n");
    chmod(script.c_str(), 0700);
    ASSERT_TRUE(StartProgram(script));
    ASSERT_TRUE(Eventually([&] { return !ReadWholeFile(out).empty(); }, 10s)); // its own session
    const std::string proc = "/proc/" + std::to_string(std::stoi(ReadWholeFile(out)));
    EXPECT_TRUE(Eventually([&] { return access(proc.c_str(), F_OK) != 0; }, 10s)); // no zombie
    EXPECT_FALSE(StartProgram(out));                                               // not executable
}
