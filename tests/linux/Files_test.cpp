#include "common/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>

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

template <class Work> IoFailure Caught(Work work) {
    try {
        work();
    } catch (const IoFailure& e) {
        return e;
    }
    ADD_FAILURE() << "no IoFailure";
    return IoFailure("");
}

TEST(FilesOpenForReading, MissingIsNullSpecialFilesAreRefusedAndTheContentIsExactPastTheBuffer) {
    TempStore store;
    const std::string root = store.root(), fifo = root + "/fifo.cfg",
                      text = std::string(200000, 'x') + "\nend";
    WriteWholeFile(root + "/dir/a.bmp", text);
    fs::create_symlink(root + "/gone.bmp", root + "/dangling.bmp");
    EXPECT_FALSE(FileExists(root + "/dangling.bmp"));
    EXPECT_EQ(OpenForReading(root + "/dangling.bmp"), nullptr);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_STREQ(Caught([&] { OpenForReading(fifo); }).what(),
                 ("Could not open " + fifo + ": not a regular file").c_str());
    EXPECT_EQ(Caught([&] { OpenForReading(root); }).code(), EISDIR);

    auto in = OpenForReading(root + "/dir/a.bmp"); // a small read, then one past the buffer
    std::string head(1000, '\0'), rest(text.size() - 1000, '\0');
    in->read(head.data(), 1000).read(rest.data(), static_cast<std::streamsize>(rest.size()));
    EXPECT_EQ(head + rest, text);
    EXPECT_EQ(in->peek(), EOF);
}

struct FilesRewriteTest : ::testing::Test {
    std::string Path() const { return store_.file("velum.cfg"); }
    void ExpectNoTemp() const { EXPECT_FALSE(fs::exists(store_.file(kTemp))); }
    TempStore store_;
};

TEST_F(FilesRewriteTest, CreatesTheFolderReplacesExactlyKeepsTheModeIgnoresAStaleTempFollowsLinks) {
    setenv("XDG_CONFIG_HOME", (store_.root() + "/deep").c_str(), 1); // TempStore puts it back
    const std::string first = std::string("\0\x01\xff", 3) + std::string(100000, 'o'),
                      second = "a\r\n" + std::string(200000, 'z');
    std::vector<std::string> seen;
    const auto rewrite = [&](const std::string& bytes) {
        RewriteFile(Path(), kTemp, [&](std::istream* old, std::ostream& out) {
            seen.push_back(old ? std::string(std::istreambuf_iterator<char>(*old), {}) : "none");
            out.write(bytes.data(), 4) << bytes.substr(4); // a small write, then a large one
        });
    };
    rewrite(first);
    EXPECT_EQ(fs::status(store_.winDir()).permissions(), fs::perms::owner_all);
    WriteWholeFile(store_.file(kTemp), std::string(100000, 's')); // a stale one, read-only
    fs::permissions(store_.file(kTemp), fs::perms::owner_read);
    fs::permissions(Path(), fs::perms(0444));
    rewrite(second);
    EXPECT_EQ(fs::status(Path()).permissions(), fs::perms(0444));
    ExpectNoTemp();
    // A relative link stays; the file it names is made, then replaced.
    fs::remove(Path());
    fs::create_symlink("../data.cfg", Path());
    rewrite(first);
    rewrite(second);
    EXPECT_TRUE(fs::is_symlink(Path()));
    EXPECT_EQ(ReadWholeFile(store_.root() + "/deep/data.cfg"), second);
    EXPECT_EQ(seen, (std::vector<std::string>{"none", first, "none", first}));
}

TEST_F(FilesRewriteTest, FailuresAndAFifoAsTheLockLeaveTheOldFileAndNoTemp) {
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
    const auto readError = [&](std::istream* old, std::ostream&) {
        std::string line;
        std::getline(*old, line);
        for (const auto& e : fs::directory_iterator("/proc/self/fd"))
            if (std::error_code ec; fs::read_symlink(e.path(), ec) == fs::canonical(Path()))
                ::dup2(folder, std::stoi(e.path().filename().string()));
        std::getline(*old, line);
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
    const std::string lock = store_.file("~velum.lock");
    fs::remove(lock);
    ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
    fails([](auto*, auto& out) { out << "new\n"; }, EINVAL,
          "Could not lock " + lock + ": not a regular file");
}

} // namespace
} // namespace velum
