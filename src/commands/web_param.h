// The web pages' access settings. The system's HTTP daemon serves the pages
// and reads /root/persist/httpd.conf, one line: "/:" (security on) or "#/:"
// (off), the user name, ':', the password. Every save restarts the daemon
// through /tmp/change_secure_web.sh on a thread of its own, so the caller
// (protocol or menu) does not wait for it.
#pragma once

#include "sys/cthread.h"

#include <atomic>
#include <mutex>
#include <string>

class DefaultWebParam {
public:
    // Loads the settings file; a missing one is made with the factory values
    // (and the daemon restarted).
    DefaultWebParam();

    bool GetWebSecur() const { return secure_; }
    void SetWebSecur(bool secure) { secure_ = secure; }
    const std::string& GetWebUser() const { return user_; }
    const std::string& GetWebPassw() const { return password_; }
    // False, and unchanged, for a text the one-line file cannot hold (':',
    // a line end, NUL): it would change meaning, or add a line, on reload.
    bool SetWebUser(const std::string& user);
    bool SetWebPassw(const std::string& password);
    static bool Storable(const std::string& text);

    void LoadLinuxWebParam();
    // Writes the settings file and restarts the daemon (asynchronously; a
    // failed restart goes to the journal). False, with nothing restarted,
    // when the file could not be written: it keeps the old settings.
    bool SaveLinuxWebParam() const;
    bool ResetLinuxWebParam();
    static void RestartWebDaemon();

    static std::string DaemonScriptText();

    // The factory reset of the parameter memory: factory settings, saved.
    // False when they could not be written.
    static bool ResetToFactory();

private:
    struct Factory {};
    explicit DefaultWebParam(Factory) {}

    bool secure_ = true;
    std::string user_;
    std::string password_;
};

// Runs one command line (MyDoSystem) on a thread of its own and then deletes
// itself; nobody joins it. Its end redraws an open menu (key 37).
class CMyDoSystem : public CThread {
public:
    // Starts line on a new runner; the caller does not wait. False when the
    // thread could not be created.
    static bool Launch(const std::string& line);
    // Runners whose command has not finished yet.
    static unsigned Live() { return live_; }

    ~CMyDoSystem() override;
    void Run() override;
    void Stop() { running_ = false; }

private:
    explicit CMyDoSystem(std::string line);

    std::string line_;
    std::atomic<bool> running_{false};
    std::mutex starting_;  // held while the starter still touches the object
    static std::atomic<unsigned> live_;
};
