#pragma once
// Operations on the two peripherals the controller relays to: the sound generator
// (command 232, sub-codes 0, 1, 3) and the proportional-valve controller (232/5, 232/6, 89).
#include "commands/PeripheralTexts.h"

class TComThread;

void ReadSoundGenStatus(TComThread& w);
void WriteSoundGenAddress(TComThread& w);  // SoundGenAddressToWrite
void WriteSoundGenVolume(TComThread& w);   // SoundGenVolumeToWrite

void ReadValveControllerStatus(TComThread& w);
void ReadValveControllerInfo(TComThread& w);
// ValveAddressToWrite, ValveBitRateDivisorToWrite, ValveOpeningToWrite.
void WriteValveControllerParams(TComThread& w);
