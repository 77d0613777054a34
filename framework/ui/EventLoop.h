#pragma once

// The run time's start, event loop and end, on Qt.

// Starts the run time. The process arguments start Qt; the paths among them are delivered as
// open-document events, one at a time, once the event loop runs. An existing QApplication (a
// test's) is used as it is.
void RuntimeInit(int argc, char** argv);

// Initialises the application services and calls the routine that opens the default window.
void RunFrameworkInitialization(void (*defaultWindow)());

// Runs the event loop until ApplicationQuit. An exception that escaped an event handler is
// raised again here, once the loop has returned.
void RuntimeRun();

void ApplicationQuit(int code);

// Shuts the run time down: the windows close, the application object goes. The result is the
// exit status: the code given to ApplicationQuit, or 1 after an unhandled exception.
int RuntimeExit();
