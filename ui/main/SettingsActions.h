#pragma once
// The settings entries of the "Сервис" menu: save the controller's settings to a file, compare
// them with one, write a file's values back, and the commissioning record. Each reads the
// controller as one job of the worker (handed to the poll when it runs), with its progress
// beside the status panels; one job at a time.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "commands/SettingsJobs.h"
#include "engine/ComThreadUnit.h"
#include "ui/dialogs/SettingsDiffRules.h"

class QTimer;
class QWidget;
class TSettingsDiffForm;

// What the actions need of the main window.
struct SettingsActionsHost {
    QWidget* Window = nullptr;  // the file dialogs' parent
    // The start rule: hands the operation over or starts a worker for it.
    std::function<void(Op, const std::function<void(TComThread&)>&)> RunOperation;
    std::function<void(const std::string&)> Say;             // the message panel
    std::function<void(uint64_t, uint64_t)> ShowJobProgress;  // beside the panels; 0, 0 hides it
    std::string Tool;  // the program and its version, for the commissioning record
};

class TSettingsActions : public QObject {
    Q_OBJECT
public:
    TSettingsActions(SettingsActionsHost host, TSettingsDiffForm& diff, QObject* parent = nullptr);

    // Handlers of the menu's entries.
    void SaveSettingsClick();
    void CompareSettingsClick();
    void RestoreSettingsClick();
    void ReportClick();
    void StopClick();
    // "Записать выбранное" of the comparison window.
    void WriteSelected(const std::vector<std::string>& keys);

    bool Running() const { return job_ != nullptr; }

    // The file to write (save, report) or to read (compare, restore); empty: cancelled.
    // A file dialog unless replaced.
    std::function<QString(SettingsTask task)> AskPath;

private:
    void Start(SettingsTask task, Op op, std::shared_ptr<SettingsJob> job,
               std::function<void(SettingsJob&)> done);
    void JobFinished();
    void WatchWorker();
    void Say(const std::string& text);
    bool LoadFile(const QString& path);
    // Reads the controller and shows how it differs from a file the engineer picks.
    void ReadToCompare(SettingsTask task);
    void Saved(const SettingsJob& job, const std::string& path);
    void Compared(SettingsJob& job, bool restore);
    void Reported(const SettingsJob& job, const std::string& path);
    void Restored(const SettingsJob& job);

    SettingsActionsHost host_;
    TSettingsDiffForm& diff_;
    QTimer* watch_ = nullptr;
    SettingsTask task_ = SettingsTask::Save;
    std::shared_ptr<SettingsJob> job_;            // the job running, or null
    std::function<void(SettingsJob&)> done_;
    std::string said_;             // the last message for the panel
    bool ownWorker_ = false;       // the job started a worker of its own (no poll ran)
    std::string filePath_;
    SettingsSnapshot file_;        // the file compared or restored
    SettingsSnapshot controller_;  // the controller as read for the comparison
};
