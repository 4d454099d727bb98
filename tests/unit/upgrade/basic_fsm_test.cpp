// The string-keyed state machine: registration, dispatch, transitions and
// what it reports for pairs and states it does not know.
#include "upgrade/basic_fsm.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace {

struct Trace {
    static inline std::string event;
    static inline int arg = 0;
    static inline int calls = 0;
};

int moveToB(BasicFsm* m, std::string e, int arg) {
    Trace::event = e;
    Trace::arg = arg;
    ++Trace::calls;
    m->TransitionToState("B");
    return 7;
}
int failing(BasicFsm*, std::string, int) { return -5; }
int first(BasicFsm*, std::string, int) { return 1; }
int second(BasicFsm*, std::string, int) { return 2; }
int moveThenThrow(BasicFsm* m, std::string, int) {
    m->TransitionToState("B");
    throw std::out_of_range("substr");
}
int throwsInt(BasicFsm*, std::string, int) { throw 42; }

std::string stderrOf(const std::function<void()>& f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

TEST(BasicFsm, RegistersNamesOnceInFirstOrderAndKeepsTheLaterHandler) {
    BasicFsm m("");
    m.AddState("S_Final");
    EXPECT_EQ(m.AddStateEventMethod("S_Check", "E_Found", first), 0);
    EXPECT_EQ(m.AddStateEventMethod("S_Write", "E_Ok", first), 0);
    EXPECT_EQ(m.AddStateEventMethod("S_Check", "E_Found", second), 0);
    EXPECT_EQ(m.AddState("S_Write"), 0);
    EXPECT_EQ(m.States(), (std::vector<std::string>{"", "S_Final", "S_Check", "S_Write"}));
    EXPECT_EQ(m.Events(), (std::vector<std::string>{"E_Found", "E_Ok"}));
    EXPECT_EQ(m.HandlerCount(), 2u);
    ASSERT_EQ(m.TransitionToState("S_Check"), 0);
    EXPECT_EQ(m.Fsm("E_Found", 0), 2);
}

TEST(BasicFsm, AFreshMachineKnowsOnlyItsInitialState) {
    BasicFsm m("S_Idle");
    EXPECT_EQ(m.GetState(), "S_Idle");
    std::string err = stderrOf([&] { EXPECT_EQ(m.TransitionToState("S_Other"), -1); });
    EXPECT_EQ(err, "BasicFsm: transition to state  S_Other is not valid.");
    EXPECT_EQ(m.GetState(), "S_Idle");
    EXPECT_EQ(m.PreviousState(), "");
    m.AddState("S_Other");
    EXPECT_EQ(m.TransitionToState("S_Other"), 0);
    EXPECT_EQ(m.GetState(), "S_Other");
    EXPECT_EQ(m.PreviousState(), "S_Idle");
}

TEST(BasicFsm, DispatchRunsTheHandlerOfTheCurrentStateWithItsArgument) {
    BasicFsm m("A");
    m.AddStateEventMethod("A", "E_Go", moveToB);
    m.AddStateEventMethod("B", "E_Stay", failing);
    Trace::calls = 0;
    EXPECT_EQ(m.Fsm("E_Go", 31), 7);
    EXPECT_EQ(Trace::calls, 1);
    EXPECT_EQ(Trace::event, "E_Go");
    EXPECT_EQ(Trace::arg, 31);
    EXPECT_EQ(m.GetState(), "B");
    EXPECT_EQ(m.PreviousState(), "A");
    EXPECT_EQ(m.PreviousEvent(), "E_Go");
    // A failing handler's event is still recorded.
    EXPECT_EQ(m.Fsm("E_Stay", 0), -5);
    EXPECT_EQ(m.PreviousEvent(), "E_Stay");
}

TEST(BasicFsm, AnEventRegisteredForAnotherStateIsNotFound) {
    BasicFsm m("A");
    m.AddStateEventMethod("A", "E_Go", moveToB);
    m.AddStateEventMethod("B", "E_Back", first);
    std::string err = stderrOf([&] { EXPECT_EQ(m.Fsm("E_Back", 0), -1); });
    EXPECT_EQ(err, "BasicFsm::Fsm() - StateA Event E_Back is not found in FSM map\n");
    EXPECT_EQ(m.GetState(), "A");
    EXPECT_EQ(m.PreviousEvent(), "");
}

TEST(BasicFsm, AStandardExceptionInAHandlerKeepsWhereTheHandlerGot) {
    BasicFsm m("A");
    m.AddState("B");
    m.AddStateEventMethod("A", "E_Go", moveThenThrow);
    EXPECT_EQ(m.Fsm("E_Go", 0), 0);
    EXPECT_EQ(m.GetState(), "B");
    EXPECT_EQ(m.PreviousEvent(), "");
    // Anything else passes through.
    m.AddStateEventMethod("B", "E_Odd", throwsInt);
    EXPECT_THROW(m.Fsm("E_Odd", 0), int);
}

TEST(BasicFsm, OnlyRegisteredEventsBecomeThePreviousEvent) {
    BasicFsm m("A");
    m.AddStateEventMethod("A", "E_Go", first);
    std::string err = stderrOf([&] { EXPECT_EQ(m.SetPreviousEvent("E_Nothing"), -1); });
    EXPECT_EQ(err, "BasicFsm: Event E_Nothing is invalid.\n");
    EXPECT_EQ(m.SetPreviousEvent("E_Go"), 0);
    EXPECT_EQ(m.PreviousEvent(), "E_Go");
}

}  // namespace
