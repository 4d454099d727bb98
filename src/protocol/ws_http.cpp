#include "protocol/ws_http.h"

#include "platform/board.h"
#include "platform/net.h"
#include "sys/print.h"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr const char* kPostFile = board::deviceText("/tmp/post-file");
// An upload is written here and takes the name above only once its form
// succeeded: a failed form leaves the previous upload.
constexpr const char* kPostPart = board::deviceText("/tmp/post-file.part");
constexpr size_t kNameMax = 255;
constexpr size_t kChunk = 4096;
constexpr int kChunkTimeoutS = 5;
constexpr long kUploadMax = 100000;
constexpr int kFieldStorage = 1024;
constexpr size_t kRelayMax = 1024 * 1024;

const char* const kFieldNames[] = {"text", "send", "file", "upload"};
constexpr int kFieldCount = 4;

struct MimeType {
    const char* extension;
    const char* type;
};
const MimeType kMimeTypes[] = {
    {".ico", "image/x-icon"}, {".png", "image/png"}, {".html", "text/html"},
    {".css", "text/css"},     {".js", "text/javascript"},
};

// One request of an HTTP connection and its answer in progress.
struct HttpRequest {
    // An answer written by hand: status line and headers, then the body
    // (text or a file) one chunk per writeable turn.
    bool answering = false;
    bool headersSent = false;
    unsigned status = 0;
    std::string type;
    std::string body;
    lws_fop_fd_t file = nullptr;
    lws_filepos_t length = 0;
    lws_filepos_t sent = 0;
    // The form upload.
    lws_spa* spa = nullptr;
    int postFd = -1;
    bool filePart = false;  // the form has a file part (written to kPostPart)
    std::string fileName;
    long fileLength = 0;
    bool formFailed = false;
    bool uploadTooLarge = false;
    // The relay test.
    lws* relay = nullptr;
    std::string relayHost;
    std::string relayPath;
    std::string relayType;
    std::string relayBody;
    bool relayAnswered = false;

    ~HttpRequest() {
        if (spa != nullptr) lws_spa_destroy(spa);
        if (postFd >= 0) ::close(postFd);
        if (file != nullptr) lws_vfs_file_close(&file);
    }
};

}  // namespace

struct HttpSession {
    HttpRequest* req;
};
const size_t kHttpSessionSize = sizeof(HttpSession);

std::string webRoot() { return board::path(board::deviceText("/var/www/html")); }

namespace {

decltype(lws_plat_file_ops::LWS_FOP_OPEN) gPlatformOpen = nullptr;

// True when path names an existing file inside the web folder once links
// and ".." are resolved.
bool insideWebRoot(const char* path) {
    char root[PATH_MAX], file[PATH_MAX];
    if (::realpath(webRoot().c_str(), root) == nullptr || ::realpath(path, file) == nullptr) return false;
    const size_t n = std::strlen(root);
    return std::strncmp(file, root, n) == 0 && file[n] == '/';
}

lws_fop_fd_t openInsideWebRoot(const lws_plat_file_ops* fops, const char* filename, const char* vpath,
                               lws_fop_flags_t* flags) {
    lws_fop_fd_t fd = insideWebRoot(filename) ? gPlatformOpen(fops, filename, vpath, flags) : nullptr;
    if (fd == nullptr) {
        PRINT(PRINT_GENERAL, "%s: open %s failed\n", __func__, filename);
        return nullptr;
    }
    PRINT(PRINT_GENERAL, "%s: opening %s, ret %p, len %" PRIu64 "\n", __func__, filename, static_cast<void*>(fd),
          static_cast<uint64_t>(lws_vfs_get_length(fd)));
    return fd;
}

HttpRequest* request(void* user) { return user != nullptr ? static_cast<HttpSession*>(user)->req : nullptr; }

HttpRequest* freshRequest(void* user) {
    auto* pss = static_cast<HttpSession*>(user);
    delete pss->req;
    pss->req = new HttpRequest();
    return pss->req;
}

void dropRequest(void* user) {
    if (user == nullptr) return;
    auto* pss = static_cast<HttpSession*>(user);
    delete pss->req;
    pss->req = nullptr;
}

// After an answer: keep the connection for the next request, or close it.
int completed(lws* wsi) { return lws_http_transaction_completed(wsi) ? -1 : 0; }

int refuse(lws* wsi, unsigned status) {
    if (lws_return_http_status(wsi, status, nullptr)) return -1;
    return completed(wsi);
}

// Starts an answer written by hand in the connection's writeable turns.
void answer(lws* wsi, HttpRequest& req, unsigned status, const char* type, std::string body) {
    req.answering = true;
    req.headersSent = false;
    req.status = status;
    req.type = type != nullptr ? type : "";
    req.length = body.size();
    req.body = std::move(body);
    req.sent = 0;
    lws_callback_on_writable(wsi);
}

int writeHeaders(lws* wsi, HttpRequest& req) {
    unsigned char buffer[LWS_PRE + 1024];
    unsigned char *start = buffer + LWS_PRE, *p = start, *end = buffer + sizeof buffer;
    if (lws_add_http_header_status(wsi, req.status, &p, end)) return -1;
    if (!req.type.empty() &&
        lws_add_http_header_by_token(wsi, WSI_TOKEN_HTTP_CONTENT_TYPE,
                                     reinterpret_cast<const unsigned char*>(req.type.data()),
                                     static_cast<int>(req.type.size()), &p, end))
        return -1;
    if (lws_add_http_header_content_length(wsi, req.length, &p, end)) return -1;
    if (lws_finalize_write_http_header(wsi, start, &p, end)) return -1;
    req.headersSent = true;
    return 0;
}

// One chunk per turn: the library takes one write per writeable callback.
int writeAnswer(lws* wsi, HttpRequest& req) {
    if (!req.answering) return 0;
    if (!req.headersSent) {
        if (writeHeaders(wsi, req) != 0) return -1;
        if (req.length != 0) {
            lws_callback_on_writable(wsi);
            return 0;
        }
    } else {
        unsigned char buffer[LWS_PRE + kChunk];
        lws_filepos_t want = std::min<lws_filepos_t>(kChunk, req.length - req.sent);
        const lws_fileofs_t allowance = lws_get_peer_write_allowance(wsi);
        if (allowance > 0) want = std::min<lws_filepos_t>(want, static_cast<lws_filepos_t>(allowance));
        lws_filepos_t got = want;
        if (req.file != nullptr) {
            if (lws_vfs_file_read(req.file, &got, buffer + LWS_PRE, want) < 0 || got == 0) {
                std::printf("problem reading file\n");
                return -1;
            }
        } else {
            std::memcpy(buffer + LWS_PRE, req.body.data() + req.sent, want);
        }
        const bool last = req.sent + got >= req.length;
        if (lws_write(wsi, buffer + LWS_PRE, got, last ? LWS_WRITE_HTTP_FINAL : LWS_WRITE_HTTP) !=
            static_cast<int>(got)) {
            std::printf("write failed\n");
            return -1;
        }
        req.sent += got;
        lws_set_timeout(wsi, PENDING_TIMEOUT_HTTP_CONTENT, kChunkTimeoutS);
        if (!last) {
            lws_callback_on_writable(wsi);
            return 0;
        }
    }
    req.answering = false;
    if (req.file != nullptr) lws_vfs_file_close(&req.file);
    lws_set_timeout(wsi, NO_PENDING_TIMEOUT, 0);
    return completed(wsi);
}

const char* mimeType(const std::string& name) {
    if (name.size() < 5) return nullptr;
    for (const MimeType& m : kMimeTypes) {
        const size_t n = std::strlen(m.extension);
        if (name.size() >= n && name.compare(name.size() - n, n, m.extension) == 0) return m.type;
    }
    return nullptr;
}

// "/leaf.jpg" goes out by hand, in chunks.
int serveLeaf(lws* wsi, HttpRequest& req) {
    const std::string path = webRoot() + "/leaf.jpg";
    lws_fop_flags_t flags = LWS_O_RDONLY;
    req.file = lws_vfs_file_open(lws_get_fops(lws_get_context(wsi)), path.c_str(), &flags);
    if (req.file == nullptr) return refuse(wsi, HTTP_STATUS_NOT_FOUND);
    answer(wsi, req, HTTP_STATUS_OK, "image/jpeg", std::string());
    req.length = lws_vfs_get_length(req.file);
    return 0;
}

int serveFile(lws* wsi, const std::string& url) {
    const std::string name = url == "/" ? "/test.html" : url;
    if (name.size() > kNameMax) return refuse(wsi, HTTP_STATUS_REQ_URI_TOO_LONG);
    const char* type = mimeType(name);
    if (type == nullptr) {
        std::printf("Unknown mimetype for %s\n", name.c_str());
        return refuse(wsi, HTTP_STATUS_UNSUPPORTED_MEDIA_TYPE);
    }
    unsigned char headers[256];
    unsigned char *p = headers, *end = headers + sizeof headers;
    if (url == "/" && lws_hdr_total_length(wsi, WSI_TOKEN_HTTP_COOKIE) == 0) {
        timeval tv{};
        ::gettimeofday(&tv, nullptr);
        char cookie[80];
        int n = std::snprintf(cookie, sizeof cookie, "test=LWS_%u_%u_COOKIE;Max-Age=360000",
                              static_cast<unsigned>(tv.tv_sec), static_cast<unsigned>(tv.tv_usec));
        if (lws_add_http_header_by_name(wsi, reinterpret_cast<const unsigned char*>("set-cookie:"),
                                        reinterpret_cast<unsigned char*>(cookie), n, &p, end))
            return -1;
    }
    static const char kSts[] = "max-age=15768000 ; includeSubDomains";
    if (lws_is_ssl(wsi) &&
        lws_add_http_header_by_name(wsi, reinterpret_cast<const unsigned char*>("Strict-Transport-Security:"),
                                    reinterpret_cast<const unsigned char*>(kSts), sizeof kSts - 1, &p, end))
        return -1;
    const std::string path = webRoot() + name;
    int n = lws_serve_http_file(wsi, path.c_str(), type, reinterpret_cast<const char*>(headers),
                                static_cast<int>(p - headers));
    if (n < 0) return -1;
    return n > 0 ? completed(wsi) : 0;
}

// ---- the relay test: the answer of the configured host, passed on whole

// The request gets one answer: the first of a failure and the relay's end.
void relayAnswer(lws* wsi, HttpRequest& req, unsigned status, const std::string& type, std::string body) {
    if (req.relayAnswered) return;
    req.relayAnswered = true;
    req.relay = nullptr;
    answer(wsi, req, status, type.c_str(), std::move(body));
}

void relayFailed(lws* wsi, HttpRequest& req) {
    relayAnswer(wsi, req, HTTP_STATUS_BAD_GATEWAY, "text/plain", "proxy connect fail\n");
}

void relayDone(lws* wsi, HttpRequest& req) {
    relayAnswer(wsi, req, HTTP_STATUS_OK, req.relayType, std::move(req.relayBody));
}

int startRelay(lws* wsi, HttpRequest& req, const std::string& url) {
    const std::string target = board::net::relayTarget();
    const size_t colon = target.rfind(':');
    long port = colon == std::string::npos ? 80 : std::strtol(target.c_str() + colon + 1, nullptr, 10);
    req.relayHost = target.substr(0, colon);
    req.relayPath = url.size() > 10 ? url.substr(10) : "/";
    if (req.relayHost.empty() || port < 1 || port > 65535) {
        relayFailed(wsi, req);
        return 0;
    }
    lws_client_connect_info info;
    std::memset(&info, 0, sizeof info);
    info.context = lws_get_context(wsi);
    info.address = req.relayHost.c_str();
    info.port = static_cast<int>(port);
    info.path = req.relayPath.c_str();
    info.host = req.relayHost.c_str();
    info.method = "GET";
    info.parent_wsi = wsi;
    info.local_protocol_name = "http-only";
    info.pwsi = &req.relay;
    if (lws_client_connect_via_info(&info) == nullptr) relayFailed(wsi, req);
    return 0;
}

// Events of the relay's own connection: the request of its parent gets
// what arrived.
int relayEvent(lws* wsi, lws_callback_reasons reason, void* in, size_t len) {
    lws* parent = lws_get_parent(wsi);
    HttpRequest* req = parent != nullptr ? request(lws_wsi_user(parent)) : nullptr;
    if (req == nullptr || req->relayAnswered) return reason == LWS_CALLBACK_RECEIVE_CLIENT_HTTP_READ ? -1 : 0;
    switch (reason) {
    case LWS_CALLBACK_CLIENT_CONNECTION_ERROR:
        PRINT(PRINT_GENERAL, "proxy connect fail: %s\n", in != nullptr ? static_cast<const char*>(in) : "");
        relayFailed(parent, *req);
        return 0;
    case LWS_CALLBACK_ESTABLISHED_CLIENT_HTTP: {
        char type[128] = {};
        if (lws_hdr_copy(wsi, type, sizeof type, WSI_TOKEN_HTTP_CONTENT_TYPE) > 0) req->relayType = type;
        return 0;
    }
    case LWS_CALLBACK_RECEIVE_CLIENT_HTTP: {
        char buffer[LWS_PRE + 1024];
        char* p = buffer + LWS_PRE;
        int n = static_cast<int>(sizeof buffer) - LWS_PRE;
        return lws_http_client_read(wsi, &p, &n) < 0 ? -1 : 0;
    }
    case LWS_CALLBACK_RECEIVE_CLIENT_HTTP_READ:
        if (req->relayBody.size() + len > kRelayMax) {
            relayFailed(parent, *req);
            return -1;
        }
        req->relayBody.append(static_cast<const char*>(in), len);
        return 0;
    case LWS_CALLBACK_COMPLETED_CLIENT_HTTP:
    case LWS_CALLBACK_CLOSED_CLIENT_HTTP:
        relayDone(parent, *req);
        return 0;
    default:
        return 0;
    }
}

// ---- the form

std::string htmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

int uploadChunk(void* data, const char*, const char* filename, char* buf, int len, lws_spa_fileupload_states state) {
    auto& req = *static_cast<HttpRequest*>(data);
    switch (state) {
    case LWS_UFS_OPEN:
        if (req.postFd >= 0) ::close(req.postFd);
        req.fileName = filename != nullptr ? filename : "";
        req.fileLength = 0;
        req.filePart = true;
        req.postFd = ::open(board::path(kPostPart).c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
        if (req.postFd >= 0) return 0;
        req.formFailed = true;
        return 1;
    case LWS_UFS_CONTENT:
    case LWS_UFS_FINAL_CONTENT:
        // The library goes on with the form after a refusal here: the
        // request remembers it and fails as a whole at its end.
        if (len > 0 && !req.formFailed) {
            if (req.fileLength + len > kUploadMax) {
                req.uploadTooLarge = req.formFailed = true;
                return 1;
            }
            ssize_t n = req.postFd < 0 ? -1 : ::write(req.postFd, buf, static_cast<size_t>(len));
            PRINT(PRINT_GENERAL, "%s: write %d says %d\n", __func__, len, static_cast<int>(n));
            if (n != len) {
                req.formFailed = true;
                return 1;
            }
            req.fileLength += len;
        }
        if (state == LWS_UFS_FINAL_CONTENT && req.postFd >= 0) {
            ::close(req.postFd);
            req.postFd = -1;
        }
        return 0;
    case LWS_UFS_CLOSE:
        if (req.postFd >= 0) ::close(req.postFd);
        req.postFd = -1;
        return 0;
    }
    return 0;
}

int formBody(lws* wsi, void* user, const char* in, size_t len) {
    HttpRequest* req = request(user);
    if (req == nullptr) return -1;
    if (req->formFailed) return 0;
    if (req->spa == nullptr) {
        req->spa = lws_spa_create(wsi, kFieldNames, kFieldCount, kFieldStorage, uploadChunk, req);
        if (req->spa == nullptr) return -1;
    }
    if (lws_spa_process(req->spa, in, static_cast<int>(len)) < 0) req->formFailed = true;
    return 0;
}

int formComplete(lws* wsi, void* user) {
    HttpRequest* req = request(user);
    if (req == nullptr) return -1;
    if (req->spa == nullptr) {  // an empty body
        req->spa = lws_spa_create(wsi, kFieldNames, kFieldCount, kFieldStorage, uploadChunk, req);
        if (req->spa == nullptr) return -1;
    }
    if (!req->formFailed) lws_spa_finalize(req->spa);
    if (req->postFd >= 0) {
        ::close(req->postFd);
        req->postFd = -1;
    }
    if (!req->formFailed && req->filePart &&
        ::rename(board::path(kPostPart).c_str(), board::path(kPostFile).c_str()) != 0)
        req->formFailed = true;
    if (req->formFailed) {
        // A partial upload is not kept as if it had arrived; the last whole one stays.
        if (req->filePart) ::unlink(board::path(kPostPart).c_str());
        return refuse(wsi, req->uploadTooLarge ? HTTP_STATUS_REQ_ENTITY_TOO_LARGE : HTTP_STATUS_BAD_REQUEST);
    }
    std::string page =
        "<html><body><h1>Form results (after urldecoding)</h1><table><tr><td>Name</td><td>Length</td><td>Value</td>"
        "</tr>";
    for (int n = 0; n < kFieldCount; ++n) {
        const char* value = lws_spa_get_string(req->spa, n);
        page += "<tr><td><b>" + std::string(kFieldNames[n]) + "</b></td><td>" +
                std::to_string(lws_spa_get_length(req->spa, n)) + "</td><td>" +
                htmlEscaped(value != nullptr ? value : "") + "</td></tr>";
    }
    page += "</table><br><b>filename:</b> " + htmlEscaped(req->fileName) +
            ", <b>length</b> " + std::to_string(req->fileLength) + "</body></html>";
    answer(wsi, *req, HTTP_STATUS_OK, "text/html", std::move(page));
    return 0;
}

// ---- a request

int httpRequest(lws* wsi, void* user, const char* in, size_t len) {
    HttpRequest& req = *freshRequest(user);
    const std::string url(in != nullptr ? in : "", in != nullptr ? strnlen(in, len ? len : 4096) : 0);
    char peer[64] = {};
    lws_get_peer_simple(wsi, peer, sizeof peer);
    PRINT(PRINT_GENERAL, "lws_http_serve: %s\n", url.c_str());
    PRINT(PRINT_GENERAL, "HTTP connect from %s\n", peer);
    if (url.empty() || url[0] != '/') return refuse(wsi, HTTP_STATUS_BAD_REQUEST);
    if (url.compare(0, 10, "/proxytest") == 0) return startRelay(wsi, req, url);
    // One level only: nothing below the web folder's own files is served.
    if (url.find('/', 1) != std::string::npos) return refuse(wsi, HTTP_STATUS_NOT_ACCEPTABLE);
    if (lws_hdr_total_length(wsi, WSI_TOKEN_POST_URI) > 0) return 0;  // the body follows
    if (url == "/leaf.jpg") return serveLeaf(wsi, req);
    return serveFile(wsi, url);
}

}  // namespace

void wrapFileOpen(lws_context* context) {
    lws_plat_file_ops* fops = lws_get_fops(context);
    if (fops->LWS_FOP_OPEN != openInsideWebRoot) {
        gPlatformOpen = fops->LWS_FOP_OPEN;
        fops->LWS_FOP_OPEN = openInsideWebRoot;
    }
}

int callback_http(lws* wsi, lws_callback_reasons reason, void* user, void* in, size_t len) {
    switch (reason) {
    case LWS_CALLBACK_HTTP:
        return httpRequest(wsi, user, static_cast<const char*>(in), len);
    case LWS_CALLBACK_HTTP_BODY:
        return formBody(wsi, user, static_cast<const char*>(in), len);
    case LWS_CALLBACK_HTTP_BODY_COMPLETION:
        return formComplete(wsi, user);
    case LWS_CALLBACK_HTTP_WRITEABLE:
        if (HttpRequest* req = request(user)) return writeAnswer(wsi, *req);
        return 0;
    case LWS_CALLBACK_HTTP_DROP_PROTOCOL:
    case LWS_CALLBACK_CLOSED_HTTP:
        dropRequest(user);
        break;
    case LWS_CALLBACK_CLIENT_CONNECTION_ERROR:
    case LWS_CALLBACK_ESTABLISHED_CLIENT_HTTP:
    case LWS_CALLBACK_RECEIVE_CLIENT_HTTP:
    case LWS_CALLBACK_RECEIVE_CLIENT_HTTP_READ:
    case LWS_CALLBACK_COMPLETED_CLIENT_HTTP:
    case LWS_CALLBACK_CLOSED_CLIENT_HTTP:
        return relayEvent(wsi, reason, in, len);
    default:
        break;
    }
    return lws_callback_http_dummy(wsi, reason, user, in, len);
}
