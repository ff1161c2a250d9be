#include "common/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/IoFailure.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace velum {
namespace {

using test::ReadWholeFile;
using test::TempStore;
using test::WriteWholeFile;

const char* kTemp = "~velum.tmp";
const char* kLock = "~velum.lock";

// Sets or removes an environment variable for one scope.
class EnvGuard {
  public:
    explicit EnvGuard(const char* name) : name_(name) {
        if (const char* v = std::getenv(name))
            saved_ = v;
    }
    ~EnvGuard() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }
    void Set(const std::string& value) { setenv(name_, value.c_str(), 1); }
    void Unset() { unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

std::string Lines(int count, const std::string& tag) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += tag + " line " + std::to_string(i) + " of the wallpaper list\r\n";
    return text;
}

// A body that writes `text` and ignores the old content.
auto Writes(const std::string& text) {
    return [text](std::istream*, std::ostream& out) { out << text; };
}

// A body that copies the old lines and adds one.
auto Appends(const std::string& line) {
    return [line](std::istream* old, std::ostream& out) {
        std::string l;
        while (old && std::getline(*old, l))
            out << l << '\n';
        out << line << '\n';
    };
}

std::set<std::string> FolderEntries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

int WaitExitCode(pid_t pid) {
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `work` in a child process; its return value becomes the exit status. The child never
// returns into the test framework, so it cannot run the parent's cleanups.
template <class Work> pid_t Spawn(Work work) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int code = 100;
        try {
            code = work();
        } catch (...) {
            code = 101;
        }
        ::_exit(code);
    }
    EXPECT_GT(pid, 0);
    return pid;
}

TEST(FilesWinDir, UsesAnAbsoluteXdgConfigHome) {
    EnvGuard xdg("XDG_CONFIG_HOME");
    xdg.Set("/somewhere/config");
    EXPECT_EQ(GetWinDir(), "/somewhere/config/velumor/");
    xdg.Set("/somewhere/config/");
    EXPECT_EQ(GetWinDir(), "/somewhere/config/velumor/");
}

TEST(FilesWinDir, FallsBackToHomeWhenXdgIsEmptyRelativeOrUnset) {
    EnvGuard xdg("XDG_CONFIG_HOME");
    EnvGuard home("HOME");
    home.Set("/home/ann");
    xdg.Set("");
    EXPECT_EQ(GetWinDir(), "/home/ann/.config/velumor/");
    xdg.Set("relative/config");
    EXPECT_EQ(GetWinDir(), "/home/ann/.config/velumor/");
    xdg.Unset();
    EXPECT_EQ(GetWinDir(), "/home/ann/.config/velumor/");
    // Looked up afresh on every call.
    home.Set("/home/bob/");
    EXPECT_EQ(GetWinDir(), "/home/bob/.config/velumor/");
}

TEST(FilesWinDir, UsesThePasswdHomeWithoutHome) {
    struct passwd* pw = ::getpwuid(::getuid());
    if (!pw || !pw->pw_dir || !*pw->pw_dir)
        GTEST_SKIP() << "no passwd entry for this user";
    std::string expected = JoinPath(pw->pw_dir, ".config/velumor/");
    EnvGuard xdg("XDG_CONFIG_HOME");
    EnvGuard home("HOME");
    xdg.Unset();
    home.Unset();
    EXPECT_EQ(GetWinDir(), expected);
    home.Set("");
    EXPECT_EQ(GetWinDir(), expected);
}

TEST(FilesWinDir, DoesNotCreateTheFolder) {
    TempStore store;
    EXPECT_EQ(store.winDir(), store.root() + "/velumor/");
    EXPECT_FALSE(fs::exists(store.winDir()));
}

TEST(FilesJoinPath, AddsOneSeparatorOnlyWhenNeeded) {
    EXPECT_EQ(PathSeparator(), '/');
    EXPECT_EQ(JoinPath("/pics", "a.bmp"), "/pics/a.bmp");
    EXPECT_EQ(JoinPath("/pics/", "a.bmp"), "/pics/a.bmp");
    EXPECT_EQ(JoinPath("/", "a.bmp"), "/a.bmp");
    EXPECT_EQ(JoinPath("", "a.bmp"), "a.bmp");
}

TEST(FilesExist, OnlyNoSuchFileCountsAsMissing) {
    TempStore store;
    std::string file = store.root() + "/present.bmp";
    WriteWholeFile(file, "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(store.root()));
    EXPECT_FALSE(FileExists(store.root() + "/absent.bmp"));
    EXPECT_FALSE(FileExists(store.root() + "/no-folder/absent.bmp"));
    EXPECT_FALSE(FileExists(""));
    // ENOTDIR: a path through a regular file.
    EXPECT_TRUE(FileExists(file + "/inner.bmp"));
    // A dangling link is missing: stat follows it.
    fs::create_symlink(store.root() + "/gone.bmp", store.root() + "/dangling.bmp");
    EXPECT_FALSE(FileExists(store.root() + "/dangling.bmp"));
}

TEST(FilesExist, UnreadableFolderCountsAsPresent) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not apply to root";
    TempStore store;
    std::string folder = store.root() + "/locked";
    WriteWholeFile(folder + "/a.bmp", "x");
    fs::permissions(folder, fs::perms::none);
    EXPECT_TRUE(FileExists(folder + "/a.bmp"));
    EXPECT_TRUE(FileExists(folder + "/absent.bmp"));
    fs::permissions(folder, fs::perms::owner_all);
}

TEST(FilesOpenForReading, MissingFileGivesNull) {
    TempStore store;
    EXPECT_EQ(OpenForReading(store.root() + "/absent.cfg"), nullptr);
    EXPECT_EQ(OpenForReading(store.root() + "/no-folder/absent.cfg"), nullptr);
}

TEST(FilesOpenForReading, FolderOrPathThroughAFileThrows) {
    TempStore store;
    std::string folder = store.file("velum.cfg");
    fs::create_directories(folder);
    try {
        OpenForReading(folder);
        FAIL() << "a folder opened as a file";
    } catch (const IoFailure& e) {
        EXPECT_EQ(e.code(), EISDIR);
        EXPECT_NE(std::string(e.what()).find(folder), std::string::npos) << e.what();
    }
    WriteWholeFile(store.root() + "/plain", "x");
    EXPECT_THROW(OpenForReading(store.root() + "/plain/velum.cfg"), IoFailure);
}

TEST(FilesOpenForReading, ReadsLinesAndBlocksExactly) {
    TempStore store;
    std::string path = store.root() + "/list.txt";
    // Long enough to cross the read buffer many times, with lines straddling its edges.
    std::vector<std::string> lines;
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        lines.push_back(std::string(static_cast<std::size_t>(i % 97), 'a' + i % 26) + "|" +
                        std::to_string(i));
        text += lines.back() + (i + 1 < 20000 ? "\n" : "");
    }
    WriteWholeFile(path, text);

    auto in = OpenForReading(path);
    ASSERT_NE(in, nullptr);
    std::vector<std::string> read;
    for (std::string l; std::getline(*in, l);)
        read.push_back(l);
    EXPECT_EQ(read, lines);
    EXPECT_TRUE(in->eof());
    EXPECT_FALSE(in->bad());

    // Block reads both smaller and larger than the buffer.
    in = OpenForReading(path);
    std::string head(1000, '\0'), rest(text.size() - 1000, '\0');
    in->read(head.data(), static_cast<std::streamsize>(head.size()));
    in->read(rest.data(), static_cast<std::streamsize>(rest.size()));
    EXPECT_EQ(head + rest, text);
    EXPECT_EQ(in->peek(), std::char_traits<char>::eof());
    EXPECT_FALSE(in->bad());
}

TEST(FilesOpenForReading, ReadErrorSetsBadbitNotEndOfFile) {
    // Reading a process's own memory at address 0 fails with EIO, though it stats as a file.
    auto in = OpenForReading("/proc/self/mem");
    if (!in)
        GTEST_SKIP() << "no /proc/self/mem";
    std::string line;
    EXPECT_FALSE(std::getline(*in, line));
    EXPECT_TRUE(in->bad());

    in = OpenForReading("/proc/self/mem");
    char block[100000];
    in->read(block, sizeof block);
    EXPECT_TRUE(in->bad());
}

class FilesRewriteTest : public ::testing::Test {
  protected:
    std::string Path() const { return store_.file("velum.cfg"); }
    std::string Lock() const { return store_.file(kLock); }
    // The store's folder holds the file and the lock, nothing else.
    void ExpectNoTempLeft() const {
        EXPECT_EQ(FolderEntries(store_.winDir()), (std::set<std::string>{"velum.cfg", kLock}));
    }
    void ExpectLockFree() const {
        int fd = ::open(Lock().c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << "lock still held";
        ::close(fd);
    }

    TempStore store_;
};

TEST_F(FilesRewriteTest, CreatesTheFolderAndTheFile) {
    EnvGuard xdg("XDG_CONFIG_HOME");
    xdg.Set(store_.root() + "/deep/config");
    bool sawOld = true;
    RewriteFile(Path(), kTemp, [&](std::istream* old, std::ostream& out) {
        sawOld = old != nullptr;
        out << "[wallpapers]\r\n";
    });
    EXPECT_FALSE(sawOld);
    EXPECT_EQ(ReadWholeFile(Path()), "[wallpapers]\r\n");
    EXPECT_EQ(ModeOf(store_.winDir()), 0700u);
    ExpectNoTempLeft();
    ExpectLockFree();
}

TEST_F(FilesRewriteTest, HandsOverTheOldBytesAndReplacesThemExactly) {
    std::string oldBytes = Lines(3000, "old") + std::string("\0\x01\xff no newline", 14);
    WriteWholeFile(Path(), oldBytes);
    std::string big(200000, 'z');
    std::string seen;
    RewriteFile(Path(), kTemp, [&](std::istream* old, std::ostream& out) {
        ASSERT_NE(old, nullptr);
        seen.assign(std::istreambuf_iterator<char>(*old), {});
        out << "a\r\n";
        out.put('\0');
        out.write(big.data(), static_cast<std::streamsize>(big.size()));
        out << "\nend";
    });
    EXPECT_EQ(seen, oldBytes);
    EXPECT_EQ(ReadWholeFile(Path()), "a\r\n" + std::string(1, '\0') + big + "\nend");
    ExpectNoTempLeft();

    RewriteFile(Path(), kTemp, Writes(""));
    EXPECT_EQ(ReadWholeFile(Path()), "");
}

TEST_F(FilesRewriteTest, StaleTempFileDoesNotReachTheResult) {
    WriteWholeFile(Path(), "current\n");
    WriteWholeFile(store_.file(kTemp), Lines(5000, "stale"));
    fs::permissions(store_.file(kTemp), fs::perms::owner_read);
    RewriteFile(Path(), kTemp, Appends("added"));
    EXPECT_EQ(ReadWholeFile(Path()), "current\nadded\n");
    ExpectNoTempLeft();
}

TEST_F(FilesRewriteTest, SymbolicLinkSurvivesAndItsTargetGetsTheContent) {
    std::string realFolder = store_.root() + "/real";
    std::string target = realFolder + "/velum-data.cfg";
    WriteWholeFile(target, "old\n");
    fs::create_directories(store_.winDir());
    // A relative link to a second link, to follow a chain the way the system does.
    fs::create_symlink("../real/middle.cfg", Path());
    fs::create_symlink("velum-data.cfg", realFolder + "/middle.cfg");

    RewriteFile(Path(), kTemp, Appends("new"));
    EXPECT_TRUE(fs::is_symlink(Path()));
    EXPECT_TRUE(fs::is_symlink(realFolder + "/middle.cfg"));
    EXPECT_EQ(ReadWholeFile(target), "old\nnew\n");
    EXPECT_EQ(FolderEntries(realFolder), (std::set<std::string>{"middle.cfg", "velum-data.cfg"}));

    // A dangling link: the file is created where it points.
    fs::remove(target);
    RewriteFile(Path(), kTemp, Appends("first"));
    EXPECT_TRUE(fs::is_symlink(Path()));
    EXPECT_EQ(ReadWholeFile(target), "first\n");
}

TEST_F(FilesRewriteTest, KeepsThePermissionBits) {
    WriteWholeFile(Path(), "old\n");
    for (mode_t mode : {0600u, 0640u, 0444u}) {
        ::chmod(Path().c_str(), mode);
        RewriteFile(Path(), kTemp, Appends("x"));
        EXPECT_EQ(ModeOf(Path()), mode);
    }
}

TEST_F(FilesRewriteTest, ThrowingBodyLeavesTheOldFileAndNoTemp) {
    std::string oldBytes = Lines(2000, "old");
    WriteWholeFile(Path(), oldBytes);
    auto partial = [](std::istream*, std::ostream& out) {
        out << Lines(5000, "half written");
        throw std::runtime_error("the list changed");
    };
    try {
        RewriteFile(Path(), kTemp, partial);
        FAIL() << "no exception";
    } catch (const IoFailure& e) {
        std::string message = e.what();
        EXPECT_NE(message.find("Could not save " + Path()), std::string::npos) << message;
        EXPECT_NE(message.find("the list changed"), std::string::npos) << message;
    }
    EXPECT_EQ(ReadWholeFile(Path()), oldBytes);
    ExpectNoTempLeft();
    ExpectLockFree();

    // An IoFailure passes through unchanged.
    try {
        RewriteFile(Path(), kTemp, [](std::istream*, std::ostream&) {
            throw IoFailure("Could not read a bitmap", EACCES);
        });
        FAIL() << "no exception";
    } catch (const IoFailure& e) {
        EXPECT_STREQ(e.what(), "Could not read a bitmap");
        EXPECT_EQ(e.code(), EACCES);
    }
    EXPECT_EQ(ReadWholeFile(Path()), oldBytes);
    ExpectNoTempLeft();
    ExpectLockFree();
}

TEST_F(FilesRewriteTest, OldFileThatCannotBeReadIsLeftAlone) {
    fs::create_directories(Path());
    bool ran = false;
    EXPECT_THROW(RewriteFile(Path(), kTemp, [&](std::istream*, std::ostream&) { ran = true; }),
                 IoFailure);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(fs::is_directory(Path()));
    EXPECT_EQ(FolderEntries(store_.winDir()), (std::set<std::string>{"velum.cfg", kLock}));
    ExpectLockFree();
}

// Finds the descriptor this process has open on `path`.
int OpenDescriptorOf(const std::string& path) {
    fs::path wanted = fs::canonical(path);
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        fs::path target = fs::read_symlink(e.path(), ec);
        if (!ec && target == wanted)
            return std::stoi(e.path().filename().string());
    }
    return -1;
}

TEST_F(FilesRewriteTest, ReadErrorWhileCopyingFailsTheSave) {
    std::string oldBytes = Lines(10000, "old");
    WriteWholeFile(Path(), oldBytes);
    int folderFd = ::open(store_.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folderFd, 0);
    try {
        RewriteFile(Path(), kTemp, [&](std::istream* old, std::ostream& out) {
            std::string line;
            std::getline(*old, line);
            out << line << '\n';
            // From now on the old file's descriptor reads a folder: the next read fails.
            int fd = OpenDescriptorOf(Path());
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::dup2(folderFd, fd), fd);
            while (std::getline(*old, line))
                out << line << '\n';
        });
        FAIL() << "no exception";
    } catch (const IoFailure& e) {
        EXPECT_EQ(e.code(), EISDIR);
        EXPECT_NE(std::string(e.what()).find("read error"), std::string::npos) << e.what();
    }
    ::close(folderFd);
    EXPECT_EQ(ReadWholeFile(Path()), oldBytes);
    ExpectNoTempLeft();
    ExpectLockFree();
}

TEST_F(FilesRewriteTest, FailedWriteLeavesTheOldFile) {
    std::string oldBytes = Lines(100, "old");
    WriteWholeFile(Path(), oldBytes);
    std::string path = Path();
    pid_t pid = Spawn([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {100000, 100000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        try {
            RewriteFile(path, kTemp, Writes(Lines(20000, "too much")));
        } catch (const IoFailure& e) {
            if (e.code() != EFBIG)
                return 11;
            if (std::string(e.what()) != "Could not save " + path + ": File too large")
                return 12;
            return 0;
        }
        return 13;
    });
    EXPECT_EQ(WaitExitCode(pid), 0);
    EXPECT_EQ(ReadWholeFile(Path()), oldBytes);
    ExpectNoTempLeft();
}

TEST_F(FilesRewriteTest, KilledAtAnyMomentLeavesOneWholeVersion) {
    const std::string a = Lines(2000, "first");
    const std::string b = Lines(2000, "second");
    WriteWholeFile(Path(), a);
    std::string path = Path();
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMs(0, 40);
    // Writing line by line, each pushed to the file, keeps a partial file in view for long.
    auto slowly = [](const std::string& text) {
        return [&text](std::istream*, std::ostream& out) {
            for (std::size_t pos = 0; pos < text.size();) {
                std::size_t end = text.find('\n', pos) + 1;
                out.write(text.data() + pos, static_cast<std::streamsize>(end - pos));
                out.flush();
                pos = end;
            }
        };
    };
    for (int round = 0; round < 20; ++round) {
        pid_t pid = Spawn([&] {
            for (int i = 0;; ++i)
                RewriteFile(path, kTemp, slowly(i % 2 ? a : b));
            return 0;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        ::kill(pid, SIGKILL);
        EXPECT_EQ(WaitExitCode(pid), 128 + SIGKILL);
        std::string now = ReadWholeFile(Path());
        EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST_F(FilesRewriteTest, ConcurrentReadModifyWriteLosesNoUpdate) {
    const int perProcess = 200;
    std::string path = Path();
    std::vector<pid_t> children;
    for (char who : {'a', 'b'})
        children.push_back(Spawn([&, who] {
            for (int i = 0; i < perProcess; ++i)
                RewriteFile(path, kTemp, Appends(std::string(1, who) + std::to_string(i)));
            return 0;
        }));
    for (pid_t pid : children)
        EXPECT_EQ(WaitExitCode(pid), 0);

    std::ifstream in(Path());
    std::vector<int> next(2, 0);
    int total = 0;
    for (std::string line; std::getline(in, line); ++total) {
        ASSERT_TRUE(!line.empty() && (line[0] == 'a' || line[0] == 'b')) << line;
        int& expected = next[static_cast<std::size_t>(line[0] - 'a')];
        EXPECT_EQ(line.substr(1), std::to_string(expected)) << "out of order";
        ++expected;
    }
    EXPECT_EQ(total, 2 * perProcess);
    EXPECT_EQ(next, (std::vector<int>{perProcess, perProcess}));
    ExpectNoTempLeft();
}

TEST_F(FilesRewriteTest, LockIsHeldDuringTheBodyOnly) {
    bool heldInside = false;
    RewriteFile(Path(), kTemp, [&](std::istream*, std::ostream& out) {
        int fd = ::open(Lock().c_str(), O_RDONLY | O_CLOEXEC);
        heldInside = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        out << "x";
    });
    EXPECT_TRUE(heldInside);
    ExpectLockFree();
    EXPECT_TRUE(fs::exists(Lock()));
}

} // namespace
} // namespace velum
