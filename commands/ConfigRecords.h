#pragma once
// Reading and writing the controller's two configuration pages: page 4, the controller
// configuration (TrkCfg), and page 0, the sub-controller configuration (SubTrkCfg).
class TComThread;

// Fills TrkCfg and the configuration groups; sets TrkCfgRead.
void ReadTrkCfg(TComThread& w);
// Sends the staged TrkCfg; clears TrkCfgRead whatever the result, so it is read back.
void WriteTrkCfg(TComThread& w);
// The configuration window's write: lays TrkCfgControlsToWrite over the page as last read
// (reading it first when this worker has not) and sends it; refuses when it cannot be read.
void WriteTrkCfgFromWindow(TComThread& w);
// Fills SubTrkCfg, the sub-controller group and the main window's channel columns.
void ReadSubTrkCfg(TComThread& w);
// Sends the staged sub-controller addresses and bit-rate divisor.
void WriteSubTrkCfg(TComThread& w);
