// The string-keyed state machine under the upgrade and rollback dialogues.
//
// States and events are plain names; a handler is a free function registered
// for one (state, event) pair, and it moves the machine itself with
// TransitionToState. The machine never moves on its own and takes no lock:
// it runs in its caller's thread.
#pragma once

#include <map>
#include <string>
#include <vector>

class BasicFsm {
public:
    // The machine passes the argument given to Fsm unchanged.
    using Handler = int (*)(BasicFsm* machine, std::string event, int arg);

    explicit BasicFsm(const std::string& initialState);
    virtual ~BasicFsm() = default;
    BasicFsm(const BasicFsm&) = delete;
    BasicFsm& operator=(const BasicFsm&) = delete;

    // Registration: names are kept once, in order of first registration; a
    // pair registered again keeps the later handler. Both return 0.
    virtual int AddState(const std::string& s);
    virtual int AddStateEventMethod(const std::string& s, const std::string& e, Handler h);
    virtual std::string GetState() const;
    // Runs the handler of (current state, e): its result; -1 when the pair
    // has none; 0 when the handler threw a standard exception (the machine
    // stays where the handler left it and the event is not recorded).
    virtual int Fsm(const std::string& e, int arg);
    // 0, or -1 (nothing changed) when s was never registered.
    virtual int TransitionToState(const std::string& s);
    // 0, or -1 when e was never registered.
    virtual int SetPreviousEvent(const std::string& e);

    const std::vector<std::string>& States() const { return states; }
    const std::vector<std::string>& Events() const { return events; }
    const std::string& PreviousEvent() const { return prevEvent; }
    const std::string& PreviousState() const { return prevState; }
    size_t HandlerCount() const { return handlers.size(); }

private:
    std::vector<std::string> states;
    std::vector<std::string> events;
    std::string state;
    std::string prevEvent;
    std::string prevState;
    // Key: the state name immediately followed by the event name.
    std::map<std::string, Handler> handlers;
};
