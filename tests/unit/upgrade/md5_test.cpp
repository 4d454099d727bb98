// MD5 of files and web folders against RFC 1321's suite and md5sum, and the
// checks built on it.
#include "unit/upgrade/upgrade_fixture.h"

#include "upgrade/md5.h"

namespace hx40test {
namespace {

TEST(Md5, TheRfcSuite) {
    struct Case {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(md5Text(c.input.data(), c.input.size()), c.digest) << c.input;
        // The same input fed one byte at a time.
        MD5_CTX ctx;
        md5_init(&ctx);
        for (char ch : c.input) md5_update(&ch, 1, &ctx);
        uint8_t out[16];
        md5_finalize(out, &ctx);
        EXPECT_EQ(md5Text(out), c.digest) << c.input;
    }
}

class Md5Files : public UpgradeTest {};

TEST_F(Md5Files, FilesOfEveryPaddingCaseAndBlockSizeMatchMd5sum) {
    // From 4 MiB on a file is read ahead by a helper thread, through a ring of 1 MiB.
    for (size_t n : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 4095u, 4096u, 4097u, 12289u, 4u << 20,
                     (4u << 20) + 1, (9u << 20) + 4095}) {
        write("tmp/f" + std::to_string(n), pattern(n, 3));
        std::string digest;
        ASSERT_TRUE(md5File("/tmp/f" + std::to_string(n), digest)) << n;
        EXPECT_EQ(digest, md5sumOf(board_->file("tmp/f" + std::to_string(n)))) << n;
    }
    std::string digest;
    EXPECT_FALSE(md5File("/tmp/missing", digest));
}

TEST_F(Md5Files, AFileMatchesOnlyItsDigestInLowerCase) {
    write("tmp/empty", "");
    write("tmp/fox", "The quick brown fox jumps over the lazy dog");
    struct Case {
        const char* path;
        const char* expected;
        int result;
    } cases[] = {
        {"/tmp/fox", "9e107d9d372bb6826bd81d3542a419d6", 1},
        {"/tmp/fox", "9E107D9D372BB6826BD81D3542A419D6", 0},
        {"/tmp/fox", "9e107d9d372bb6826bd81d3542a419d7", 0},
        {"/tmp/empty", "d41d8cd98f00b204e9800998ecf8427e", 1},
        {"/tmp/missing", "d41d8cd98f00b204e9800998ecf8427e", 0},
        {"/tmp/fox", "", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MD5Validator(c.path, c.expected).validate(), c.result) << c.path << " " << c.expected;
    write("root/app/memfiles/parts.csv", "1,0,0,8,8\n");
    EXPECT_EQ(CheckCopiedChecksum(md5sumOf(board_->file("root/app/memfiles/parts.csv")),
                                  "/mnt/usb/Selka//memfiles/parts.csv", "/root/app//memfiles"),
              1);
    EXPECT_EQ(CheckCopiedChecksum("d41d8cd98f00b204e9800998ecf8427e", "/mnt/usb/Selka//memfiles/parts.csv",
                                  "/root/app//memfiles"),
              0);
}

TEST_F(Md5Files, AWebFolderHasOneDigestWhereverItLies) {
    // Names that sort differently in byte order and in a dictionary order.
    for (const std::string dir : {"mnt/usb/Selka/memfiles/web", "root/app/memfiles/web.old"}) {
        write(dir + "/index.html", "<html>hello</html>\n");
        write(dir + "/js/app.js", "var a = 1;\n");
        write(dir + "/Zed.css", "body{}\n");
    }
    // cd web && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum | md5sum
    const char* digest = "5a70b75601880d29bce0d098eb48649c";
    EXPECT_EQ(md5Folder("/mnt/usb/Selka//memfiles/web"), digest);
    EXPECT_EQ(MD5Validator("/mnt/usb/Selka//memfiles/web", digest).validate(), 1);
    EXPECT_EQ(MD5Validator("/root/app//memfiles/web.old", digest).validate(), 1);
    EXPECT_EQ(MD5Validator("../memfiles/web.old", digest).validate(), 1);
    // The script and its answer are gone afterwards.
    EXPECT_FALSE(exists("tmp/md5_folder.sh"));
    EXPECT_FALSE(exists("tmp/md5_ans.txt"));
    // A changed file changes the digest.
    write("root/app/memfiles/web.old/js/app.js", "var a = 2;\n");
    EXPECT_EQ(MD5Validator("/root/app//memfiles/web.old", digest).validate(), 0);
}

TEST_F(Md5Files, APathHoldingWebIsAlwaysCheckedAsAFolder) {
    write("tmp/webcam.png", "not a folder");
    EXPECT_EQ(MD5Validator("/tmp/webcam.png", md5sumOf(board_->file("tmp/webcam.png"))).validate(), 0);
    EXPECT_EQ(MD5Validator("/tmp/no-web-here", "d41d8cd98f00b204e9800998ecf8427e").validate(), 0);
}

TEST_F(Md5Files, TheFolderScriptRunsFromInsideTheFolder) {
    EXPECT_EQ(md5FolderScript("/root/app//memfiles/web"),
              "cd '/root/app//memfiles/web' && find . -type f -exec md5sum {} + | LC_ALL=C sort -k 2 2>/dev/null | "
              "md5sum | awk '{print $1}' | tr -d ' \\t\\r\\n' > /tmp/md5_ans.txt\n");
    // A name that would end the quoting is never put into the script.
    write("tmp/it's web/a", "x");
    EXPECT_EQ(md5Folder("/tmp/it's web"), "");
}

}  // namespace
}  // namespace hx40test
