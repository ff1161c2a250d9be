#include "common/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/IoFailure.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace velum {
namespace {

using namespace test;

const char* kTemp = "~velum.tmp";
const char* kLock = "~velum.lock";

void SetEnv(const char* name, const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
}

std::string Lines(int count, const std::string& tag) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += tag + " line " + std::to_string(i) + " of the wallpaper list\r\n";
    return text;
}

auto Appends(const std::string& line) {
    return [line](std::istream* old, std::ostream& out) {
        for (std::string l; old && std::getline(*old, l);)
            out << l << '\n';
        out << line << '\n';
    };
}

template <class Work> IoFailure Caught(Work work) {
    try {
        work();
    } catch (const IoFailure& e) {
        return e;
    }
    ADD_FAILURE() << "no IoFailure";
    return IoFailure("");
}

// Points the descriptor this process has open on `path` at what `fd` refers to.
void Redirect(const std::string& path, int fd) {
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(e.path(), ec) == fs::canonical(path))
            ::dup2(fd, std::stoi(e.path().filename().string()));
    }
}

bool LockHeld(const std::string& lock) {
    int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
    bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

TEST(FilesPaths, WinDirFromXdgConfigHomeHomeOrPasswdAndJoinPath) {
    EXPECT_EQ(JoinPath("/pics", "a.bmp"), "/pics/a.bmp");
    EXPECT_EQ(JoinPath("/pics/", "a.bmp"), "/pics/a.bmp");
    EXPECT_EQ(JoinPath("/", "a.bmp"), "/a.bmp");
    EXPECT_EQ(JoinPath("", "a.bmp"), "a.bmp");
    TempStore store; // puts XDG_CONFIG_HOME back
    const bool hadHome = std::getenv("HOME") != nullptr;
    const std::string savedHome = hadHome ? std::getenv("HOME") : "";
    struct passwd* pw = ::getpwuid(::getuid());
    const std::string fromPasswd = pw && pw->pw_dir ? JoinPath(pw->pw_dir, ".config/velumor/") : "";
    const char* const cases[][3] = {
        {"/x/config", "/home/ann", "/x/config/velumor/"},
        {"/x/config/", "/home/ann", "/x/config/velumor/"},
        {"", "/home/ann", "/home/ann/.config/velumor/"},
        {"relative/config", "/home/ann", "/home/ann/.config/velumor/"},
        {nullptr, "/home/bob/", "/home/bob/.config/velumor/"},
        {nullptr, "", fromPasswd.c_str()},
        {nullptr, nullptr, fromPasswd.c_str()},
    };
    for (const auto& [xdg, home, dir] : cases) {
        SetEnv("XDG_CONFIG_HOME", xdg);
        SetEnv("HOME", home);
        EXPECT_EQ(GetWinDir(), dir) << (xdg ? xdg : "unset") << ", " << (home ? home : "unset");
    }
    SetEnv("HOME", hadHome ? savedHome.c_str() : nullptr);
}

TEST(FilesPaths, OnlyNoSuchFileCountsAsMissing) {
    TempStore store;
    const std::string root = store.root();
    WriteWholeFile(root + "/dir/a.bmp", "x");
    fs::create_symlink(root + "/gone.bmp", root + "/dangling.bmp");
    for (const char* missing : {"/absent.bmp", "/no-folder/absent.bmp", "/dangling.bmp"}) {
        EXPECT_FALSE(FileExists(root + missing)) << missing;
        EXPECT_EQ(OpenForReading(root + missing), nullptr) << missing;
    }
    EXPECT_FALSE(FileExists(""));
    // A folder and a path through a file (ENOTDIR) exist but cannot be read as files.
    for (const char* present : {"/dir", "/dir/a.bmp/inner.bmp"}) {
        EXPECT_TRUE(FileExists(root + present)) << present;
        EXPECT_THROW(OpenForReading(root + present), IoFailure) << present;
    }
    IoFailure e = Caught([&] { OpenForReading(root + "/dir"); });
    EXPECT_EQ(e.code(), EISDIR);
    EXPECT_NE(std::string(e.what()).find(root + "/dir"), std::string::npos) << e.what();
}

TEST(FilesOpenForReading, ReadsLinesAndBlocksExactlyAndFlagsReadErrors) {
    TempStore store;
    const std::string path = store.root() + "/list.txt", text = Lines(20000, "x") + "no newline";
    WriteWholeFile(path, text);
    auto in = OpenForReading(path);
    std::string joined;
    for (std::string l; std::getline(*in, l);)
        joined += l + (in->eof() ? "" : "\n");
    EXPECT_EQ(joined, text);
    in = OpenForReading(path);
    std::string head(1000, '\0'), rest(text.size() - 1000, '\0');
    in->read(head.data(), 1000);
    in->read(rest.data(), static_cast<std::streamsize>(rest.size()));
    EXPECT_EQ(head + rest, text);
    EXPECT_EQ(in->peek(), EOF);
    EXPECT_FALSE(in->bad());

    // Reading address 0 of the process's own memory fails with EIO, though it stats as a file.
    auto lines = OpenForReading("/proc/self/mem"), blocks = OpenForReading("/proc/self/mem");
    ASSERT_TRUE(lines && blocks);
    std::string line, block(100000, '\0');
    EXPECT_FALSE(std::getline(*lines, line));
    blocks->read(block.data(), 100000);
    EXPECT_TRUE(lines->bad() && blocks->bad());
}

class FilesRewriteTest : public ::testing::Test {
  protected:
    std::string Path() const { return store_.file("velum.cfg"); }
    void ExpectOnlyFileAndFreeLock() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(store_.winDir()))
            names.insert(e.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"velum.cfg", kLock}));
        EXPECT_FALSE(LockHeld(store_.file(kLock)));
    }

    TempStore store_;
};

TEST_F(FilesRewriteTest, CreatesThenReplacesTheFileExactlyUnderTheLock) {
    SetEnv("XDG_CONFIG_HOME", (store_.root() + "/deep/config").c_str()); // TempStore puts it back
    ASSERT_FALSE(fs::exists(store_.winDir()));
    const std::string first = Lines(3000, "old") + std::string("\0\x01\xff no newline", 14);
    bool locked = false;
    RewriteFile(Path(), kTemp, [&](std::istream* old, std::ostream& out) {
        EXPECT_EQ(old, nullptr);
        locked = LockHeld(store_.file(kLock));
        out << first;
    });
    EXPECT_TRUE(locked);
    EXPECT_EQ(fs::status(store_.winDir()).permissions(), fs::perms::owner_all);

    const std::string big(200000, 'z');
    std::string seen;
    RewriteFile(Path(), kTemp, [&](std::istream* old, std::ostream& out) {
        ASSERT_NE(old, nullptr);
        seen.assign(std::istreambuf_iterator<char>(*old), {});
        out << "a\r\n";
        out.put('\0');
        out.write(big.data(), static_cast<std::streamsize>(big.size()));
        out << "\nend";
    });
    EXPECT_EQ(seen, first);
    EXPECT_EQ(ReadWholeFile(Path()), "a\r\n" + std::string(1, '\0') + big + "\nend");
    ExpectOnlyFileAndFreeLock();
}

TEST_F(FilesRewriteTest, KeepsTheModeAndIgnoresAStaleTempFile) {
    WriteWholeFile(Path(), "current\n");
    WriteWholeFile(store_.file(kTemp), Lines(5000, "stale"));
    fs::permissions(store_.file(kTemp), fs::perms::owner_read);
    for (auto mode : {fs::perms(0640), fs::perms(0444)}) {
        fs::permissions(Path(), mode);
        RewriteFile(Path(), kTemp, Appends("x"));
        EXPECT_EQ(fs::status(Path()).permissions(), mode);
    }
    EXPECT_EQ(ReadWholeFile(Path()), "current\nx\nx\n");
    ExpectOnlyFileAndFreeLock();
}

TEST_F(FilesRewriteTest, LinksSurviveAndTheirTargetGetsTheContent) {
    const std::string real = store_.root() + "/real", target = real + "/velum-data.cfg";
    WriteWholeFile(target, "old\n");
    fs::create_directories(store_.winDir());
    fs::create_symlink("../real/middle.cfg", Path());
    fs::create_symlink("velum-data.cfg", real + "/middle.cfg");
    RewriteFile(Path(), kTemp, Appends("new"));
    EXPECT_TRUE(fs::is_symlink(Path()) && fs::is_symlink(real + "/middle.cfg"));
    EXPECT_EQ(ReadWholeFile(target), "old\nnew\n");
    fs::remove(target);
    RewriteFile(Path(), kTemp, Appends("first"));
    EXPECT_TRUE(fs::is_symlink(Path()));
    EXPECT_EQ(ReadWholeFile(target), "first\n");
}

TEST_F(FilesRewriteTest, FailuresLeaveTheOldFileAndNoTemp) {
    const std::string oldBytes = Lines(10000, "old"), saving = "Could not save " + Path() + ": ";
    WriteWholeFile(Path(), oldBytes);
    IoFailure thrown = Caught([&] {
        RewriteFile(Path(), kTemp, [](std::istream*, std::ostream& out) {
            out << Lines(5000, "half written");
            throw std::runtime_error("the list changed");
        });
    });
    EXPECT_EQ(thrown.what(), saving + "the list changed");
    IoFailure passed = Caught([&] {
        RewriteFile(Path(), kTemp, [](std::istream*, std::ostream&) {
            throw IoFailure("Could not read a bitmap", EACCES);
        });
    });
    EXPECT_EQ(passed.what(), std::string("Could not read a bitmap"));
    EXPECT_EQ(passed.code(), EACCES);

    const int folder = ::open(store_.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    IoFailure readError = Caught([&] {
        RewriteFile(Path(), kTemp, [&](std::istream* old, std::ostream& out) {
            std::string line;
            std::getline(*old, line);
            Redirect(Path(), folder);
            while (std::getline(*old, line))
                out << line << '\n';
        });
    });
    EXPECT_EQ(readError.code(), EISDIR);
    EXPECT_NE(std::string(readError.what()).find("read error"), std::string::npos);
    IoFailure writeError = Caught([&] {
        RewriteFile(Path(), kTemp, [&](std::istream*, std::ostream& out) {
            Redirect(store_.file(kTemp), folder);
            out << Lines(5000, "new");
        });
    });
    ::close(folder);
    EXPECT_EQ(writeError.what(), saving + std::strerror(EBADF));
    EXPECT_EQ(ReadWholeFile(Path()), oldBytes);
    ExpectOnlyFileAndFreeLock();
}

} // namespace
} // namespace velum
