#pragma once
// The display boards' test: the controller's own automatic run (command 214 without
// parameters) and a picture chosen by hand (214 with the 30-byte test frame).
class TComThread;

// Starts the controller's automatic test; it steps through the segments by itself.
void StartTabloTest(TComThread& w);
// Shows TabloTestFrame on the display boards.
void WriteTabloTestFrame(TComThread& w);
