#pragma once

namespace mojing::test {

// Runs the current test once more in a process namespace of its own, where the test's own
// processes are the only ones: a "wget.exe" that the program looks for and ends cannot be
// another program's. True inside that run, which does the test's work; false outside, once the
// inner run has ended, whose failures become this test's. Where the machine gives no such
// namespace, the test is skipped.
bool InOwnProcessNamespace();

}  // namespace mojing::test
