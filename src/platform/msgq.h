// Keys and bookkeeping of the System V message queues.
//
// On the simulated board every queue is private (IPC_PRIVATE): all its users
// are threads of this process, so no key is needed and parallel runs cannot
// collide. Each id is recorded in <root>/run/msgq.ids as soon as it exists,
// so that a run killed before it could clean up is cleaned up by
// "hx40-sim clean" or the test harness.
#pragma once

#include <string>

namespace board::msgq {

// Creates the queue of a type; letter is the device's ftok letter (kept for
// the real board). Returns the queue id, or -1 with errno set.
int create(int type, char letter);

// Removes every queue this process created (safe to call more than once).
void removeAll();

// Removes the queues listed in <root>/run/msgq.ids that still exist and
// deletes the list; returns how many were removed.
int removeListed(const std::string& root);

// True when a queue id still exists.
bool exists(int id);

}  // namespace board::msgq
