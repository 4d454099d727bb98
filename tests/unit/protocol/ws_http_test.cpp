// The web server's "http-only" side: files of the web folder and nothing
// outside it, the refusals, the form upload and the relay test.
#include "web_server_fixture.h"

#include <atomic>
#include <filesystem>
#include <sys/stat.h>

using namespace hx40test;

namespace {

// A web host for the relay test: answers every request with one fixed
// answer and keeps the request lines it saw.
class StubHost {
public:
    explicit StubHost(std::string answer)
        : answer_(std::move(answer)), port_(freePort()), listener_(port_) {
        thread_ = std::thread([this] { serve(); });
    }
    ~StubHost() {
        stop_ = true;
        thread_.join();
    }
    int port() const { return listener_.ok() ? port_ : 0; }
    std::string requestLine() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requestLine_;
    }

private:
    void serve() {
        while (!stop_) {
            pollfd p{listener_.fd(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            int c = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            std::string got;
            char buf[1024];
            pollfd q{c, POLLIN, 0};
            while (got.find("\r\n\r\n") == std::string::npos && ::poll(&q, 1, 2000) > 0) {
                ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                got.append(buf, static_cast<size_t>(n));
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requestLine_ = got.substr(0, got.find("\r\n"));
            }
            ::send(c, answer_.data(), answer_.size(), MSG_NOSIGNAL);
            ::close(c);
        }
    }

    std::string answer_;
    int port_;
    LoopbackListener listener_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::string requestLine_;
};

class WebFilesTest : public WebServerTest {
protected:
    WebFilesTest() {
        board_.write("var/www/html/test.html", "<html>start page</html>");
        board_.write("var/www/html/page.html", "<html>page</html>");
        board_.write("var/www/html/style.css", "body {}");
        leaf_.reserve(10000);
        for (int i = 0; i < 10000; ++i) leaf_ += static_cast<char>(i * 7);
        board_.write("var/www/html/leaf.jpg", leaf_);
        // Beside the web folder: what no request may read.
        board_.write("var/www/secret.html", "secret");
        board_.write("root/persist/httpd.conf", "secret");
        std::filesystem::create_symlink("../secret.html", board_.file("var/www/html/link.html"));
    }
    std::string leaf_;
};

std::string post(const std::string& boundary, const std::vector<std::pair<std::string, std::string>>& fields,
                 const std::string& fileName, const std::string& file) {
    std::string body;
    for (const auto& [name, value] : fields)
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + fileName +
            "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + file + "\r\n--" + boundary + "--\r\n";
    return "POST /form.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: multipart/form-data; "
           "boundary=" + boundary + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

TEST_F(WebFilesTest, FilesOfTheWebFolderAndTheRefusals) {
    startServer();
    struct Case {
        const char* path;
        int status;
        const char* type;  // nullptr: not checked
        const char* body;  // nullptr: not checked
    };
    const Case cases[] = {
        {"/", 200, "text/html", "<html>start page</html>"},
        {"/page.html", 200, "text/html", "<html>page</html>"},
        {"/style.css", 200, "text/css", "body {}"},
        {"/a/b.html", 406, nullptr, nullptr},
        {"/page.txt", 415, nullptr, nullptr},
        {"/.js", 415, nullptr, nullptr},
        {"/missing.html", 404, nullptr, nullptr},
        {"/x", 415, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        HttpAnswer a = httpGet(port_, c.path);
        EXPECT_EQ(a.status, c.status) << c.path;
        if (c.type) {
            EXPECT_EQ(a.headers["content-type"], c.type) << c.path;
        }
        if (c.body) {
            EXPECT_EQ(a.body, c.body) << c.path;
        }
    }
    HttpAnswer longName = httpGet(port_, "/" + std::string(260, 'n') + ".html");
    EXPECT_EQ(longName.status, 414);
}

TEST_F(WebFilesTest, TheStartPageSetsACookieOnce) {
    startServer();
    HttpAnswer first = httpGet(port_, "/");
    EXPECT_EQ(first.headers["set-cookie"].substr(0, 9), "test=LWS_");
    EXPECT_NE(first.headers["set-cookie"].find("_COOKIE;Max-Age=360000"), std::string::npos);
    HttpAnswer again = httpGet(port_, "/", "Cookie: test=1\r\n");
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(again.headers.count("set-cookie"), 0u);
    EXPECT_EQ(httpGet(port_, "/page.html").headers.count("set-cookie"), 0u);
}

TEST_F(WebFilesTest, TheLeafGoesOutInChunksWhole) {
    startServer();
    HttpAnswer a = httpGet(port_, "/leaf.jpg");
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.headers["content-type"], "image/jpeg");
    EXPECT_EQ(a.body, leaf_);
}

// No request reads a file outside the web folder, whatever it spells.
TEST_F(WebFilesTest, NothingOutsideTheWebFolderIsRead) {
    startServer();
    const char* const paths[] = {
        "/../secret.html",        "/%2e%2e/secret.html",        "/..%2fsecret.html",
        "/%2e%2e%2fsecret.html",  "/..%2f..%2froot%2fpersist%2fhttpd.conf",
        "/link.html",             "/....//secret.html",         "/%2E%2E/secret.html",
        "/./../secret.html",      "/..\\secret.html",           "/../../root/persist/httpd.conf",
        "/..%5csecret.html",      "//var/www/secret.html",      "/%00/../secret.html",
    };
    for (const char* p : paths) {
        HttpAnswer a = httpGet(port_, p);
        EXPECT_EQ(a.body.find("secret"), std::string::npos) << p << " answered " << a.status;
    }
}

TEST_F(WebFilesTest, TheFormUploadIsStoredAndEchoedEscaped) {
    startServer();
    const std::string file = std::string("line 1\nbinary \x01\x02\xff end", 21);
    HttpAnswer a =
        httpExchange(port_, post("XyZ", {{"text", "<b>hi</b> & \"you\""}}, "up<load>.txt", file));
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.headers["content-type"], "text/html");
    EXPECT_EQ(a.body,
              "<html><body><h1>Form results (after urldecoding)</h1><table><tr><td>Name</td><td>Length</td><td>Value"
              "</td></tr><tr><td><b>text</b></td><td>17</td><td>&lt;b&gt;hi&lt;/b&gt; &amp; &quot;you&quot;</td></tr>"
              "<tr><td><b>send</b></td><td>0</td><td></td></tr><tr><td><b>file</b></td><td>0</td><td></td></tr>"
              "<tr><td><b>upload</b></td><td>0</td><td></td></tr></table><br><b>filename:</b> up&lt;load&gt;.txt, "
              "<b>length</b> 21</body></html>");
    EXPECT_EQ(board_.read("tmp/post-file"), file);
    struct stat st {};
    ASSERT_EQ(::stat(board_.file("tmp/post-file").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// At most 100000 bytes: a larger upload is refused and nothing of it kept.
// A form that fails, with or without a file part, leaves the last upload.
TEST_F(WebFilesTest, AFailedUploadKeepsTheLastWholeOne) {
    startServer();
    const std::string max(100000, 'm');
    const std::string noFilePartBody = "--b3\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\n" +
                                       std::string(2000, 't') + "\r\n--b3--\r\n";
    const std::string noFilePart = "POST /form.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                   "Content-Type: multipart/form-data; boundary=b3\r\nContent-Length: " +
                                   std::to_string(noFilePartBody.size()) + "\r\n\r\n" + noFilePartBody;
    struct {
        std::string request;
        int status;
    } cases[] = {
        {post("b1", {}, "max.bin", max), 200},
        {post("b2", {}, "big.bin", std::string(100001, 'b')), 413},
        {post("b4", {{"text", std::string(2000, 'x')}}, "small.bin", "small"), 400},
        {noFilePart, 400},
    };
    for (const auto& c : cases) {
        const std::string head = c.request.substr(c.request.find("\r\n\r\n") + 4, 120);
        EXPECT_EQ(httpExchange(port_, c.request).status, c.status) << head;
        EXPECT_TRUE(board_.read("tmp/post-file") == max) << head;
        EXPECT_FALSE(board_.exists("tmp/post-file.part")) << head;
    }
}

TEST_F(WebFilesTest, TheRelayPassesTheHostsAnswerOn) {
    StubHost host("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 8\r\n\r\nrelayed\n");
    ASSERT_NE(host.port(), 0);
    board::sim::mutableConf().set("proxy_host", "127.0.0.1:" + std::to_string(host.port()));
    startServer();
    HttpAnswer a = httpGet(port_, "/proxytest/x/y.txt");
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.headers["content-type"], "text/plain");
    EXPECT_EQ(a.body, "relayed\n");
    EXPECT_EQ(host.requestLine(), "GET /x/y.txt HTTP/1.1");
    EXPECT_EQ(httpGet(port_, "/proxytest").body, "relayed\n");
    EXPECT_EQ(host.requestLine(), "GET / HTTP/1.1");
}

TEST_F(WebFilesTest, ARelayThatCannotConnectSaysSo) {
    board::sim::mutableConf().set("proxy_host", "127.0.0.1:" + std::to_string(freePort()));
    startServer();
    HttpAnswer a = httpGet(port_, "/proxytest");
    EXPECT_EQ(a.status, 502);
    EXPECT_EQ(a.body, "proxy connect fail\n");
}
