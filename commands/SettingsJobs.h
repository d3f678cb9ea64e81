#pragma once
// Reading every setting of a controller and writing a chosen part of a settings file back,
// as operations of the worker, for the command line and the window alike. A job is shared
// between the caller and the worker: the caller fills its inputs, hands the operation over
// with StageSettingsJob, and reads the outcome once the job's Finished step has run.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/SettingsSnapshot.h"

class TComThread;

// What came of one setting of a restore.
struct RestoreRow {
    std::string Key, Group, Caption;
    std::string FileText;
    bool Written = false;    // the controller took the write
    bool Verified = false;   // read back, it shows the file's text
    std::string Error;       // the controller's ResultText, or why it was not written or differs
};

struct SettingsJob {
    // In, for a restore: the controller as read before, the file, the keys to write (from
    // DiffSettings; an empty list writes nothing).
    SettingsSnapshot Controller;
    SettingsSnapshot File;
    std::vector<std::string> Keys;
    // Run on the UI thread (through the worker's display steps): progress as writes done of
    // writes planned (a read counts its reads), and the end of the job.
    std::function<void(int done, int total)> Progress;
    std::function<void()> Finished;
    // Ends a restore between two writes (from any thread); what was written stays written.
    std::atomic<bool> StopRequested{false};
    // For a restore some time after the comparison (the window): the controller is read again
    // first and the writes carry what it holds now, so an edit made meanwhile in another window
    // is not written back over; the tool's rules are checked again, unforced, on what will be written.
    bool ReadBeforeWriting = false;

    // Out.
    bool Complete = false;       // every read, or every write and its read-back, was made
    std::string Error;           // why not, when not
    SettingsSnapshot Read;       // the controller as read by the job (after the writes of a restore)
    std::vector<RestoreRow> Results;  // a restore's rows, in the order written
};

// Operations: hand over with the job's stage, e.g.
//   worker.HandOver(ReadSettings, StageSettingsJob(job));
//   RunCliOperation(views, link, RestoreSettings, StageSettingsJob(job));
void ReadSettings(TComThread& w);
void RestoreSettings(TComThread& w);
std::function<void(TComThread&)> StageSettingsJob(std::shared_ptr<SettingsJob> job);

// Why these keys of the file may not be written onto this controller, or empty. Checked
// before anything is written: another device type or channel count unless forced; a
// configuration the configuration window would refuse, forced or not.
std::string RestoreRefusal(const SettingsSnapshot& controller, const SettingsSnapshot& file,
                           const std::vector<std::string>& keys, bool force);

// The keys of every difference, for a restore of all of them.
std::vector<std::string> DifferenceKeys(const std::vector<SettingDifference>& differences);
