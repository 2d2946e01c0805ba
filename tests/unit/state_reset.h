// Every test of this program starts from the state of a fresh start: each
// file that owns process-wide state resets its own, and reset_all_state
// calls them all.  state_reset.cpp runs it before every test, so no test
// depends on what an earlier one left, whatever the order they run in.
#ifndef VORN_TEST_STATE_RESET_H
#define VORN_TEST_STATE_RESET_H

void reset_all_state();

#endif
