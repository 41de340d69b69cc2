// A test hook: a process started with ORVYPC_TEST_KILL_AT=<point> in its
// environment kills itself when it reaches that point, as SIGKILL would (no
// clean-up, nothing flushed, the logbook's open transaction left behind),
// so a test can stop the monitor at an exact moment of a round instead of
// by timing luck. Without that variable, or with another point's name, it
// does nothing. The points, in a round's order:
//   "survey"         while a site is being surveyed (before anything is recorded)
//   "alert-queued"   after the round's alerts are kept, before any is sent
//   "mail-accepted"  after the mail server took an alert, before it is marked sent
#pragma once

inline constexpr const char* kTestKillAtVariable = "ORVYPC_TEST_KILL_AT";

void test_kill_point(const char* point);
