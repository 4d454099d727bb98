#include "upgrade/basic_fsm.h"

#include <algorithm>
#include <exception>
#include <iostream>

namespace {

bool contains(const std::vector<std::string>& names, const std::string& n) {
    return std::find(names.begin(), names.end(), n) != names.end();
}

void addOnce(std::vector<std::string>& names, const std::string& n) {
    if (!contains(names, n)) names.push_back(n);
}

}  // namespace

BasicFsm::BasicFsm(const std::string& initialState) : states{initialState}, state(initialState) {}

int BasicFsm::AddState(const std::string& s) {
    addOnce(states, s);
    return 0;
}

int BasicFsm::AddStateEventMethod(const std::string& s, const std::string& e, Handler h) {
    addOnce(states, s);
    addOnce(events, e);
    handlers[s + e] = h;
    return 0;
}

std::string BasicFsm::GetState() const { return state; }

int BasicFsm::Fsm(const std::string& e, int arg) {
    try {
        const std::string current = GetState();
        auto it = handlers.find(current + e);
        if (it == handlers.end()) {
            std::cerr << "BasicFsm::Fsm() - State" << current << " Event " << e << " is not found in FSM map"
                      << std::endl;
            return -1;
        }
        int result = it->second(this, e, arg);
        SetPreviousEvent(e);
        return result;
    } catch (const std::exception&) {
        return 0;
    }
}

int BasicFsm::TransitionToState(const std::string& s) {
    if (!contains(states, s)) {
        std::cerr << "BasicFsm: transition to state  " << s << " is not valid.";
        return -1;
    }
    prevState = state;
    state = s;
    return 0;
}

int BasicFsm::SetPreviousEvent(const std::string& e) {
    if (!contains(events, e)) {
        std::cerr << "BasicFsm: Event " << e << " is invalid." << std::endl;
        return -1;
    }
    prevEvent = e;
    return 0;
}
