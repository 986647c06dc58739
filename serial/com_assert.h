// COM_ASSERT: the serial port's check of preconditions and system calls.
//
// A failed check hands "COM_ASSERT(<expression>) failed; CComPort(<line>); "
// to the reporting hook and yields false, so the caller takes its failure
// path. The line is the source line of the check itself. The hook shows and
// records nothing unless a debug trace is switched on: the environment
// variable VELLORAN_COM_TRACE (any non-empty value) sends the texts to the
// standard error stream, and SetComAssertTrace installs a receiver of its own.
#pragma once

#define COM_ASSERT_STRINGIZE_(x) #x
#define COM_ASSERT_STRINGIZE(x) COM_ASSERT_STRINGIZE_(x)

#define COM_ASSERT(expression)                                              \
  ((expression) ? true                                                      \
                : ComAssertFailed("COM_ASSERT(" #expression ") failed; CComPort(" \
                                  COM_ASSERT_STRINGIZE(__LINE__) "); "))

// Reports a failed check; always yields false. Keeps the thread's last error.
bool ComAssertFailed(const char *text);

// Receiver of the texts of failed checks; null switches the trace off (unless
// VELLORAN_COM_TRACE asks for the standard error stream). May be called from
// any thread; the receiver is called on the thread whose check failed.
using ComAssertTrace = void (*)(const char *text);
void SetComAssertTrace(ComAssertTrace trace);
