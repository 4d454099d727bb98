#include "protocol/log_channel.h"

LogChannel::LogChannel(const std::string&) {}

IChannelsFactory& IChannelsFactory::Instance() {
    static IChannelsFactory* factory = new ChannelsFactory();
    return *factory;
}

int ChannelsFactory::Init() {
    ILogChannel* channel = GetLogChannel("logging");
    std::lock_guard<std::mutex> lock(mutex_);
    own_ = channel;
    own_->info("ChannelsFactory Init");
    own_->info("ChannelsFactory configuration loaded successfully.");
    return 1;
}

int ChannelsFactory::LoadConfig() {
    if (own_) own_->info("ChannelsFactory configuration loaded successfully.");
    return 1;
}

ILogChannel* ChannelsFactory::GetLogChannel(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (own_) own_->info("Asked for a log channel %s", name.c_str());
    auto it = channels_.find(name);
    if (it != channels_.end()) {
        if (own_) own_->info("Log channel exists.");
        return it->second;
    }
    if (own_) own_->info("Log channel doesn't exist. Creating it.");
    LogChannel* channel = new LogChannel(name);
    channels_.emplace(name, channel);
    return channel;
}
