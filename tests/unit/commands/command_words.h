// The device's parser on a fresh board, as the command-word tests drive it:
// a line goes in as a TCP client sends it; what the parser gives back to the
// requester and what it sends to every client are kept apart.
#pragma once

#include "commands/command_table.h"
#include "commands/p7k_thread.h"
#include "protocol/listeners.h"
#include "protocol/parser.h"
#include "protocol/ws_server.h"
#include "support/temp_board.h"
#include "sys/msgq.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>

namespace hx40test {

class CommandWords : public ::testing::Test {
protected:
    CommandWords() : parser_(NorvaCommands::CreateParser()) {
        if (create_message_queues() != 0) throw std::runtime_error("message queues");
        parser_->SetOutlets(Protocol7700::ReplyOutlets{
            [this](const std::string& t) { others_ += "serial:" + t; },
            [this](const std::string& t) { others_ += "tcp:" + t; },
            [this](const std::string& t) { others_ += "udp:" + t; },
            [this](const std::string& t, int id) { others_ += "ws" + std::to_string(id) + ":" + t; },
            nullptr,
        });
    }
    ~CommandWords() override {
        wsi_cnt = 0;
        // A word may have handed the registry a listener and this parser.
        Communication::Listeners::Instance().Reset();
        gSerial_listener = nullptr;
        tcp_listener = nullptr;
        udp_listener = nullptr;
    }

    // The reply to the requester.
    std::string line(const std::string& text) {
        std::string result, iface = "tcp";
        parser_->Parse(nullptr, text, result, iface, 0);
        return result;
    }
    // What went to every client since the last call.
    std::string everyone() {
        std::string out;
        out.swap(others_);
        return out;
    }
    // A reply as every client receives it.
    static std::string toAll(const std::string& reply) {
        return "serial:" + reply + "tcp:" + reply + "udp:" + reply + "ws0:" + reply;
    }
    // The texts queued for the web clients, in order (each ends with '|').
    static std::string webTexts() {
        std::string out;
        _WSMSG m;
        while (get_message_q(E_EXMSG_TYPE_WS_SRV_TO_CLI, &m) >= 0) out += std::string(m.text, m.length) + "|";
        return out;
    }

    TempBoard board_{true, true};
    std::unique_ptr<Protocol7700::Parser> parser_;
    std::string others_;
};

}  // namespace hx40test
