// MD5 (RFC 1321) of files and of web-page folders, and the check of an item
// against the digest its version list gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MD5_CTX {
    uint32_t state[4];   // chaining words
    uint32_t count[2];   // message length in bits: low, high
    uint8_t buffer[64];  // the unfinished block
};

void md5_init(MD5_CTX* context);
void md5_update(const void* data, size_t length, MD5_CTX* context);
// Writes the 16 digest bytes to the start of digest.
void md5_finalize(uint8_t* digest, MD5_CTX* context);
void md5_transform(uint32_t state[4], const uint8_t block[64]);

// 32 lower-case hexadecimal digits, high nibble first.
std::string md5Text(const uint8_t digest[16]);
std::string md5Text(const void* data, size_t length);

// Digest of a file (device path or relative), read in blocks of 4096 bytes;
// false when it cannot be opened or read.
bool md5File(const std::string& path, std::string& digest);

// Digest of a folder by the script "/tmp/md5_folder.sh", run from inside the
// folder so that the digest does not depend on where the folder lies: the
// MD5 of the sorted lines "<md5>  ./<path>" of its regular files. Empty when
// the script left no answer. The same digest of a folder on the host:
//   cd web && find . -type f -exec md5sum {} + | LC_ALL=C sort -k 2 | md5sum
std::string md5Folder(const std::string& folder);

// Text of the folder script for a folder (device path or relative).
std::string md5FolderScript(const std::string& folder);

class MD5Validator {
public:
    MD5Validator(std::string path, std::string expected) : path_(std::move(path)), expected_(std::move(expected)) {}
    virtual ~MD5Validator() = default;

    // 1 when the digest of the path equals the expected text exactly (case
    // matters), else 0. A path containing "web" is digested as a folder.
    int validate();

private:
    std::string path_;
    std::string expected_;
};

// 1 when the copy of source in folder (folder + "/" + the last component of
// source) has the digest md5, else 0.
int CheckCopiedChecksum(const std::string& md5, const std::string& source, const std::string& folder);
