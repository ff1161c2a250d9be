#include "common/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/IoFailure.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace velum {
namespace {

using namespace test;

const char* kTemp = "~velum.tmp";

void SetEnv(const char* name, const char* value) {
    value ? setenv(name, value, 1) : unsetenv(name);
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

TEST(FilesPaths, JoinPathAndWinDirFromXdgConfigHomeElseHome) {
    EXPECT_EQ(JoinPath("/pics/", "a.bmp"), "/pics/a.bmp");
    EXPECT_EQ(JoinPath("", "a.bmp"), "a.bmp");
    TempStore store; // puts XDG_CONFIG_HOME back
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    SetEnv("HOME", "/h/");
    EXPECT_EQ((SetEnv("XDG_CONFIG_HOME", "/x"), GetWinDir()), "/x/velumor/");
    EXPECT_EQ((SetEnv("XDG_CONFIG_HOME", "relative"), GetWinDir()), "/h/.config/velumor/");
    SetEnv("HOME", home.empty() ? nullptr : home.c_str());
}

TEST(FilesOpenForReading, MissingForNoSuchFileAndExactContentPastTheBuffer) {
    TempStore store;
    const std::string root = store.root(), text = std::string(200000, 'x') + "\nno newline";
    WriteWholeFile(root + "/dir/a.bmp", text);
    fs::create_symlink(root + "/gone.bmp", root + "/dangling.bmp");
    for (const char* missing : {"/absent.bmp", "/no-folder/a.bmp", "/dangling.bmp"}) {
        EXPECT_FALSE(FileExists(root + missing)) << missing;
        EXPECT_EQ(OpenForReading(root + missing), nullptr) << missing;
    }
    auto in = OpenForReading(root + "/dir/a.bmp"); // a small read, then one past the buffer
    std::string head(1000, '\0'), rest(text.size() - 1000, '\0');
    in->read(head.data(), 1000).read(rest.data(), static_cast<std::streamsize>(rest.size()));
    EXPECT_EQ(head + rest, text);
    EXPECT_EQ(in->peek(), EOF);
    EXPECT_FALSE(in->bad());
}

TEST(FilesOpenForReading, AFifoADeviceOrAFolderIsRefusedAtOnceWithAMessage) {
    TempStore store;
    const std::string fifo = store.root() + "/fifo.cfg", device = store.root() + "/zero.cfg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", device); // a link to a device is no file either
    for (const std::string& path : {fifo, device})
        EXPECT_STREQ(Caught([&] { OpenForReading(path); }).what(),
                     ("Could not open " + path + ": not a regular file").c_str());
    EXPECT_EQ(Caught([&] { OpenForReading(store.root()); }).code(), EISDIR);
}

TEST(FilesOpenForReading, SeeksFromEachEndAndReadsOnFromThere) {
    TempStore store;
    WriteWholeFile(store.root() + "/a.bmp", std::string(100000, 'a') + "0123456789");
    auto in = OpenForReading(store.root() + "/a.bmp");
    EXPECT_EQ(in->seekg(0, std::ios::end).tellg(), 100010);
    char got[4] = {};
    in->seekg(100003).read(got, 3);
    EXPECT_STREQ(got, "345");
    EXPECT_EQ(in->tellg(), 100006) << "the buffer's unread bytes are not counted as read";
    in->seekg(-2, std::ios::cur).read(got, 3);
    EXPECT_STREQ(got, "456");
}

struct FilesRewriteTest : ::testing::Test {
    std::string Path() const { return store_.file("velum.cfg"); }
    void ExpectNoTemp() const { EXPECT_FALSE(fs::exists(store_.file(kTemp))); }
    TempStore store_;
};

TEST_F(FilesRewriteTest, CreatesTheFolderAndFileThenReplacesItExactly) {
    SetEnv("XDG_CONFIG_HOME", (store_.root() + "/deep/config").c_str()); // TempStore puts it back
    const std::string first = std::string("\0\x01\xff", 3) + std::string(100000, 'o');
    std::vector<std::string> seen;
    for (const std::string& bytes : {first, "a\r\n" + std::string(200000, 'z')}) {
        RewriteFile(Path(), kTemp, [&](std::istream* old, std::ostream& out) {
            seen.push_back(old ? std::string(std::istreambuf_iterator<char>(*old), {}) : "none");
            out.write(bytes.data(), 4) << bytes.substr(4); // a small write, then a large one
        });
        EXPECT_EQ(ReadWholeFile(Path()), bytes);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"none", first}));
    EXPECT_EQ(fs::status(store_.winDir()).permissions(), fs::perms::owner_all);
    ExpectNoTemp();
}

TEST_F(FilesRewriteTest, KeepsTheModeIgnoresAStaleTempFileAndFollowsLinks) {
    WriteWholeFile(Path(), "current\n");
    WriteWholeFile(store_.file(kTemp), std::string(100000, 's'));
    fs::permissions(store_.file(kTemp), fs::perms::owner_read);
    for (auto mode : {fs::perms(0640), fs::perms(0444)}) {
        fs::permissions(Path(), mode);
        RewriteFile(Path(), kTemp, [](std::istream*, std::ostream& out) { out << "new\n"; });
        EXPECT_EQ(fs::status(Path()).permissions(), mode);
    }
    EXPECT_EQ(ReadWholeFile(Path()), "new\n");
    ExpectNoTemp();

    // A relative link stays; the file it names is made, then replaced.
    const std::string target = store_.root() + "/data.cfg";
    fs::remove(Path());
    fs::create_symlink("../data.cfg", Path());
    for (const std::string text : {"made\n", "replaced\n"}) {
        RewriteFile(Path(), kTemp, [&](std::istream*, std::ostream& out) { out << text; });
        EXPECT_TRUE(fs::is_symlink(Path()));
        EXPECT_EQ(ReadWholeFile(target), text);
    }
}

TEST_F(FilesRewriteTest, FailuresLeaveTheOldFileAndNoTemp) {
    const std::string oldBytes = "first\n" + std::string(200000, 'o'), saving = "Could not save ";
    WriteWholeFile(Path(), oldBytes);
    const auto fails = [&](const std::function<void(std::istream*, std::ostream&)>& body, int code,
                           const std::string& text) {
        IoFailure e = Caught([&] { RewriteFile(Path(), kTemp, body); });
        EXPECT_EQ(e.code(), code);
        EXPECT_EQ(std::string(e.what()).rfind(text, 0), 0u) << e.what();
        EXPECT_EQ(ReadWholeFile(Path()), oldBytes);
        ExpectNoTemp();
    };
    fails([](auto*, auto&) { throw std::runtime_error("no"); }, 0, saving + Path() + ": no");
    // Reads a line, then points the old file's descriptor at a folder.
    const int folder = ::open(store_.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto readError = [&](std::istream* old, std::ostream& out) {
        std::string line;
        std::getline(*old, line);
        for (const auto& e : fs::directory_iterator("/proc/self/fd"))
            if (std::error_code ec; fs::read_symlink(e.path(), ec) == fs::canonical(Path()))
                ::dup2(folder, std::stoi(e.path().filename().string()));
        while (std::getline(*old, line))
            out << line << '\n';
    };
    fails(readError, EISDIR, saving + Path() + ": read error");
    ::close(folder);
    // A write that fails part way, at the first byte, in the first buffer or after several.
    rlimit size{};
    ::getrlimit(RLIMIT_FSIZE, &size);
    const auto xfsz = std::signal(SIGXFSZ, SIG_IGN);
    for (const rlim_t limit : {0, 100, 70000}) {
        const rlimit lower{limit, size.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lower);
        fails([](auto*, auto& out) { out << std::string(200000, 'n'); }, EFBIG, saving + Path());
        ::setrlimit(RLIMIT_FSIZE, &size);
    }
    std::signal(SIGXFSZ, xfsz);
}

TEST_F(FilesRewriteTest, AFifoAsTheFileOrTheLockIsRefusedAtOnceAndNothingIsWritten) {
    fs::create_directories(store_.winDir());
    ASSERT_EQ(::mkfifo(Path().c_str(), 0600), 0);
    const auto write = [&] {
        RewriteFile(Path(), kTemp, [](std::istream*, std::ostream& out) { out << "new\n"; });
    };
    EXPECT_STREQ(Caught(write).what(),
                 ("Could not open " + Path() + ": not a regular file").c_str());
    fs::remove(Path());
    fs::remove(store_.file("~velum.lock"));
    ASSERT_EQ(::mkfifo(store_.file("~velum.lock").c_str(), 0600), 0);
    EXPECT_STREQ(Caught(write).what(),
                 ("Could not lock " + store_.file("~velum.lock") + ": not a regular file").c_str());
    EXPECT_FALSE(fs::exists(Path()));
    ExpectNoTemp();
}

} // namespace
} // namespace velum
