#include "upgrade/md5.h"

#include "platform/board.h"
#include "sys/mydosystem.h"
#include "sys/print.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uint8_t kPadding[64] = {0x80};

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The 64 steps written out with constant shifts. Each round's function is
// shaped so that the newest word (b) enters as late as possible: the other
// terms are summed while b is still being computed. Round 2 adds its two
// halves, (c & ~d) early and (b & d) last, which equals the standard OR as
// the halves never share a bit.
#define MD5_STEP1(a, b, c, d, x, t, s) a = b + rotl(a + (x) + (t) + (d ^ (b & (c ^ d))), s)
#define MD5_STEP2(a, b, c, d, x, t, s) a = b + rotl(a + (x) + (t) + (c & ~d) + (b & d), s)
#define MD5_STEP3(a, b, c, d, x, t, s) a = b + rotl(a + (x) + (t) + (b ^ (c ^ d)), s)
#define MD5_STEP4(a, b, c, d, x, t, s) a = b + rotl(a + (x) + (t) + (c ^ (b | ~d)), s)

void encode(uint8_t* out, const uint32_t* in, size_t words) {
    for (size_t i = 0; i < words; ++i)
        for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<uint8_t>(in[i] >> (8 * b));
}

constexpr const char* kFolderScript = board::deviceText("/tmp/md5_folder.sh");
constexpr const char* kFolderAnswer = board::deviceText("/tmp/md5_ans.txt");

}  // namespace

void md5_init(MD5_CTX* c) {
    c->count[0] = c->count[1] = 0;
    c->state[0] = 0x67452301;
    c->state[1] = 0xefcdab89;
    c->state[2] = 0x98badcfe;
    c->state[3] = 0x10325476;
    std::memset(c->buffer, 0, sizeof c->buffer);
}

void md5_transform(uint32_t state[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load32(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];

    MD5_STEP1(a, b, c, d, x[0], 0xd76aa478, 7);
    MD5_STEP1(d, a, b, c, x[1], 0xe8c7b756, 12);
    MD5_STEP1(c, d, a, b, x[2], 0x242070db, 17);
    MD5_STEP1(b, c, d, a, x[3], 0xc1bdceee, 22);
    MD5_STEP1(a, b, c, d, x[4], 0xf57c0faf, 7);
    MD5_STEP1(d, a, b, c, x[5], 0x4787c62a, 12);
    MD5_STEP1(c, d, a, b, x[6], 0xa8304613, 17);
    MD5_STEP1(b, c, d, a, x[7], 0xfd469501, 22);
    MD5_STEP1(a, b, c, d, x[8], 0x698098d8, 7);
    MD5_STEP1(d, a, b, c, x[9], 0x8b44f7af, 12);
    MD5_STEP1(c, d, a, b, x[10], 0xffff5bb1, 17);
    MD5_STEP1(b, c, d, a, x[11], 0x895cd7be, 22);
    MD5_STEP1(a, b, c, d, x[12], 0x6b901122, 7);
    MD5_STEP1(d, a, b, c, x[13], 0xfd987193, 12);
    MD5_STEP1(c, d, a, b, x[14], 0xa679438e, 17);
    MD5_STEP1(b, c, d, a, x[15], 0x49b40821, 22);

    MD5_STEP2(a, b, c, d, x[1], 0xf61e2562, 5);
    MD5_STEP2(d, a, b, c, x[6], 0xc040b340, 9);
    MD5_STEP2(c, d, a, b, x[11], 0x265e5a51, 14);
    MD5_STEP2(b, c, d, a, x[0], 0xe9b6c7aa, 20);
    MD5_STEP2(a, b, c, d, x[5], 0xd62f105d, 5);
    MD5_STEP2(d, a, b, c, x[10], 0x02441453, 9);
    MD5_STEP2(c, d, a, b, x[15], 0xd8a1e681, 14);
    MD5_STEP2(b, c, d, a, x[4], 0xe7d3fbc8, 20);
    MD5_STEP2(a, b, c, d, x[9], 0x21e1cde6, 5);
    MD5_STEP2(d, a, b, c, x[14], 0xc33707d6, 9);
    MD5_STEP2(c, d, a, b, x[3], 0xf4d50d87, 14);
    MD5_STEP2(b, c, d, a, x[8], 0x455a14ed, 20);
    MD5_STEP2(a, b, c, d, x[13], 0xa9e3e905, 5);
    MD5_STEP2(d, a, b, c, x[2], 0xfcefa3f8, 9);
    MD5_STEP2(c, d, a, b, x[7], 0x676f02d9, 14);
    MD5_STEP2(b, c, d, a, x[12], 0x8d2a4c8a, 20);

    MD5_STEP3(a, b, c, d, x[5], 0xfffa3942, 4);
    MD5_STEP3(d, a, b, c, x[8], 0x8771f681, 11);
    MD5_STEP3(c, d, a, b, x[11], 0x6d9d6122, 16);
    MD5_STEP3(b, c, d, a, x[14], 0xfde5380c, 23);
    MD5_STEP3(a, b, c, d, x[1], 0xa4beea44, 4);
    MD5_STEP3(d, a, b, c, x[4], 0x4bdecfa9, 11);
    MD5_STEP3(c, d, a, b, x[7], 0xf6bb4b60, 16);
    MD5_STEP3(b, c, d, a, x[10], 0xbebfbc70, 23);
    MD5_STEP3(a, b, c, d, x[13], 0x289b7ec6, 4);
    MD5_STEP3(d, a, b, c, x[0], 0xeaa127fa, 11);
    MD5_STEP3(c, d, a, b, x[3], 0xd4ef3085, 16);
    MD5_STEP3(b, c, d, a, x[6], 0x04881d05, 23);
    MD5_STEP3(a, b, c, d, x[9], 0xd9d4d039, 4);
    MD5_STEP3(d, a, b, c, x[12], 0xe6db99e5, 11);
    MD5_STEP3(c, d, a, b, x[15], 0x1fa27cf8, 16);
    MD5_STEP3(b, c, d, a, x[2], 0xc4ac5665, 23);

    MD5_STEP4(a, b, c, d, x[0], 0xf4292244, 6);
    MD5_STEP4(d, a, b, c, x[7], 0x432aff97, 10);
    MD5_STEP4(c, d, a, b, x[14], 0xab9423a7, 15);
    MD5_STEP4(b, c, d, a, x[5], 0xfc93a039, 21);
    MD5_STEP4(a, b, c, d, x[12], 0x655b59c3, 6);
    MD5_STEP4(d, a, b, c, x[3], 0x8f0ccc92, 10);
    MD5_STEP4(c, d, a, b, x[10], 0xffeff47d, 15);
    MD5_STEP4(b, c, d, a, x[1], 0x85845dd1, 21);
    MD5_STEP4(a, b, c, d, x[8], 0x6fa87e4f, 6);
    MD5_STEP4(d, a, b, c, x[15], 0xfe2ce6e0, 10);
    MD5_STEP4(c, d, a, b, x[6], 0xa3014314, 15);
    MD5_STEP4(b, c, d, a, x[13], 0x4e0811a1, 21);
    MD5_STEP4(a, b, c, d, x[4], 0xf7537e82, 6);
    MD5_STEP4(d, a, b, c, x[11], 0xbd3af235, 10);
    MD5_STEP4(c, d, a, b, x[2], 0x2ad7d2bb, 15);
    MD5_STEP4(b, c, d, a, x[9], 0xeb86d391, 21);

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

#undef MD5_STEP1
#undef MD5_STEP2
#undef MD5_STEP3
#undef MD5_STEP4

void md5_update(const void* data, size_t length, MD5_CTX* c) {
    const uint8_t* in = static_cast<const uint8_t*>(data);
    size_t index = (c->count[0] >> 3) & 0x3F;
    const uint64_t bits = static_cast<uint64_t>(length) << 3;
    const uint32_t low = c->count[0];
    c->count[0] += static_cast<uint32_t>(bits);
    c->count[1] += static_cast<uint32_t>(bits >> 32) + (c->count[0] < low ? 1 : 0);
    const size_t room = 64 - index;
    size_t i = 0;
    if (length >= room) {
        std::memcpy(&c->buffer[index], in, room);
        md5_transform(c->state, c->buffer);
        for (i = room; i + 63 < length; i += 64) md5_transform(c->state, &in[i]);
        index = 0;
    }
    if (length > i) std::memcpy(&c->buffer[index], &in[i], length - i);
}

void md5_finalize(uint8_t* digest, MD5_CTX* c) {
    uint8_t bits[8];
    encode(bits, c->count, 2);
    const size_t index = (c->count[0] >> 3) & 0x3F;
    const size_t padLength = index < 56 ? 56 - index : 120 - index;
    md5_update(kPadding, padLength, c);
    md5_update(bits, 8, c);
    encode(digest, c->state, 4);
    std::memset(c, 0, sizeof *c);
}

std::string md5Text(const uint8_t digest[16]) {
    static const char kHex[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 0; i < 16; ++i) {
        text[2 * i] = kHex[digest[i] >> 4];
        text[2 * i + 1] = kHex[digest[i] & 0x0F];
    }
    return text;
}

std::string md5Text(const void* data, size_t length) {
    MD5_CTX c;
    md5_init(&c);
    md5_update(data, length, &c);
    uint8_t digest[16];
    md5_finalize(digest, &c);
    return md5Text(digest);
}

namespace {

constexpr size_t kBlock = 4096;

// Block k of the file, [k * 4096, (k + 1) * 4096): its bytes (fewer only at
// the end), or -1 when a read fails.
ssize_t readBlockAt(int fd, uint8_t* into, uint64_t k) {
    size_t got = 0;
    while (got < kBlock) {
        const ssize_t n = ::pread(fd, into + got, kBlock - got, static_cast<off_t>(k * kBlock + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Digests a file block by block, in order. A helper thread reads the blocks
// ahead into a ring, so that the reads cost this thread nothing; a block the
// helper has not brought yet this thread reads itself (reading is
// idempotent), so it never waits for the helper, whatever the load.
class ReadAheadDigest {
public:
    static constexpr uint64_t kSlots = 256;  // 1 MiB ahead at most

    ReadAheadDigest(int fd, MD5_CTX& c) : fd_(fd), c_(c) {}

    bool run() {
        std::thread helper([this] { readAhead(); });
        bool ok = true;
        alignas(64) uint8_t own[kBlock];
        for (uint64_t k = 0;; ++k) {
            Slot& slot = ring_[k % kSlots];
            const uint8_t* data = slot.data;
            ssize_t n;
            if (slot.block.load(std::memory_order_acquire) == static_cast<int64_t>(k)) {
                n = slot.bytes;
            } else {
                n = readBlockAt(fd_, own, k);
                data = own;
            }
            if (n < 0) ok = false;
            if (n > 0) md5_update(data, static_cast<size_t>(n), &c_);
            digested_.store(k + 1);
            if (helperWaits_.load() && k + 1 >= resumeAt_.load()) {
                std::lock_guard lock(m_);
                progress_.notify_one();
            }
            if (n < static_cast<ssize_t>(kBlock)) break;  // the end, or a failure
        }
        {
            std::lock_guard lock(m_);
            stop_ = true;
        }
        progress_.notify_one();
        helper.join();
        return ok;
    }

private:
    struct Slot {
        alignas(64) uint8_t data[kBlock];
        ssize_t bytes = 0;
        std::atomic<int64_t> block{-1};
    };

    void readAhead() {
        for (uint64_t j = 1;; ++j) {
            j = std::max(j, digested_.load());  // blocks already digested are not read again
            if (j >= digested_.load() + kSlots) {
                // The ring is full: wait until half of it was digested.
                std::unique_lock lock(m_);
                resumeAt_.store(j - kSlots / 2 + 1);
                helperWaits_.store(true);
                progress_.wait(lock, [&] { return stop_ || digested_.load() >= resumeAt_.load(); });
                helperWaits_.store(false);
                if (stop_) return;
            }
            {
                std::lock_guard lock(m_);
                if (stop_) return;
            }
            Slot& slot = ring_[j % kSlots];
            slot.block.store(-1, std::memory_order_relaxed);
            slot.bytes = readBlockAt(fd_, slot.data, j);
            slot.block.store(static_cast<int64_t>(j), std::memory_order_release);
            if (slot.bytes < static_cast<ssize_t>(kBlock)) return;  // the end: the digest reads it again
        }
    }

    int fd_;
    MD5_CTX& c_;
    std::unique_ptr<Slot[]> ring_ = std::make_unique<Slot[]>(kSlots);
    std::atomic<uint64_t> digested_{0};
    std::atomic<bool> helperWaits_{false};
    std::atomic<uint64_t> resumeAt_{0};
    std::mutex m_;
    std::condition_variable progress_;
    bool stop_ = false;
};

// Below this a helper thread costs more than the reads it saves.
constexpr off_t kReadAheadFrom = 4 << 20;

bool digestInOrder(int fd, MD5_CTX& c) {
    alignas(64) uint8_t block[kBlock];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        md5_update(block, static_cast<size_t>(n), &c);
    }
}

}  // namespace

bool md5File(const std::string& path, std::string& digest) {
    const int fd = ::open(board::path(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    MD5_CTX c;
    md5_init(&c);
    struct stat st{};
    const bool large = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kReadAheadFrom;
    const bool ok = large ? ReadAheadDigest(fd, c).run() : digestInOrder(fd, c);
    ::close(fd);
    if (!ok) return false;
    uint8_t out[16];
    md5_finalize(out, &c);
    digest = md5Text(out);
    return true;
}

std::string md5FolderScript(const std::string& folder) {
    return "cd '" + folder + "' && find . -type f -exec md5sum {} + | LC_ALL=C sort -k 2 " +
           board::deviceText("2>/dev/null | md5sum | awk '{print $1}' | tr -d ' \\t\\r\\n' > ") + kFolderAnswer +
           "\n";
}

std::string md5Folder(const std::string& folder) {
    // The folder goes into the script between single quotes.
    if (folder.find('\'') != std::string::npos) return "";
    const std::string script = board::path(kFolderScript);
    const std::string answer = board::path(kFolderAnswer);
    // A fresh file: never written through a link left in its place.
    ::unlink(script.c_str());
    ::unlink(answer.c_str());
    const int fd = ::open(script.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
    if (fd < 0) return "";
    const std::string text = md5FolderScript(folder);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    std::string digest;
    if (written) {
        MyDoSystem("chmod 777 /tmp/md5_folder.sh");
        MyDoSystem("sh /tmp/md5_folder.sh");
        char buffer[33] = {};
        const int in = ::open(answer.c_str(), O_RDONLY | O_CLOEXEC);
        if (in >= 0) {
            ssize_t n = ::read(in, buffer, 32);
            if (n < 0) n = 0;
            buffer[n] = '\0';
            ::close(in);
        }
        digest = buffer;
        PRINT(PRINT_GENERAL, "\033[31md=%s\033[0m\n", buffer);
        PRINT(PRINT_GENERAL, "\033[31mp=%s\033[0m\n", digest.c_str());
    }
    MyDoSystem("rm -r /tmp/md5_folder.sh");
    MyDoSystem("rm -r /tmp/md5_ans.txt");
    return digest;
}

int MD5Validator::validate() {
    std::string digest;
    if (path_.find("web") != std::string::npos) digest = md5Folder(path_);
    else if (!md5File(path_, digest)) digest.clear();
    if (digest.empty()) return 0;
    const int ret = expected_ == digest ? 1 : 0;
    PRINT(PRINT_GENERAL, "Ret = %d\n", ret);
    return ret;
}

int CheckCopiedChecksum(const std::string& md5, const std::string& source, const std::string& folder) {
    const size_t slash = source.rfind('/');
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    return MD5Validator(folder + "/" + name, md5).validate();
}
