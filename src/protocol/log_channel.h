// Named log channels of the control protocol. The parser, the listeners and
// the protocol start-up log through them without knowing where logs go; on
// this device every channel discards what it is given.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// The levels, each with its enabled query.
#define HX40_LOG_LEVELS(X)     \
    X(debug, isDebugEnabled)   \
    X(info, isInfoEnabled)     \
    X(notice, isNoticeEnabled) \
    X(warn, isWarnEnabled)     \
    X(error, isErrorEnabled)   \
    X(crit, isCritEnabled)     \
    X(alert, isAlertEnabled)   \
    X(emerg, isEmergEnabled)   \
    X(fatal, isFatalEnabled)

class ILogChannel {
public:
    virtual ~ILogChannel() = default;
    virtual std::string getName() const = 0;
    virtual void setPriority(int priority) = 0;
    virtual int getPriority() const = 0;
    virtual bool isPriorityEnabled(int priority) const = 0;
    virtual void log(int priority, const std::string& message) = 0;
    __attribute__((format(printf, 3, 4))) virtual void log(int priority, const char* format, ...) = 0;

// One printf form, one string form and one enabled query per level.
#define HX40_LOG_LEVEL(level, enabled)                                                    \
    __attribute__((format(printf, 2, 3))) virtual void level(const char* format, ...) = 0; \
    virtual void level(const std::string& message) = 0;                                   \
    virtual bool enabled() const = 0;
    HX40_LOG_LEVELS(HX40_LOG_LEVEL)
#undef HX40_LOG_LEVEL
};

// A channel that discards everything. Its queries answer: no name, priority
// 0, no level enabled (so callers can skip building texts).
class LogChannel : public ILogChannel {
public:
    explicit LogChannel(const std::string& name);
    std::string getName() const override { return std::string(); }
    void setPriority(int) override {}
    int getPriority() const override { return priority_; }
    bool isPriorityEnabled(int) const override { return false; }
    void log(int, const std::string&) override {}
    void log(int, const char*, ...) override {}

#define HX40_LOG_LEVEL(level, enabled)         \
    void level(const char*, ...) override {}   \
    void level(const std::string&) override {} \
    bool enabled() const override { return false; }
    HX40_LOG_LEVELS(HX40_LOG_LEVEL)
#undef HX40_LOG_LEVEL

private:
    int priority_ = 0;
};

class IChannelsFactory {
public:
    virtual ~IChannelsFactory() = default;
    virtual int Init() = 0;
    virtual void Uninit() = 0;
    // The channel of that name, created on first use; the factory owns it.
    virtual ILogChannel* GetLogChannel(const std::string& name) = 0;
    virtual void PropertyUpdated(uint64_t property) = 0;

    // The process's factory. It is never destroyed: threads may still log
    // while the process exits.
    static IChannelsFactory& Instance();
};

class ChannelsFactory : public IChannelsFactory {
public:
    int Init() override;
    void Uninit() override {}
    ILogChannel* GetLogChannel(const std::string& name) override;
    void PropertyUpdated(uint64_t) override {}
    int LoadConfig();
    int LoadDefaultConfig() { return 1; }

private:
    std::mutex mutex_;
    std::map<std::string, LogChannel*> channels_;
    ILogChannel* own_ = nullptr;  // "logging"
};
