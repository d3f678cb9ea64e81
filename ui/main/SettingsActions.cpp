#include "ui/main/SettingsActions.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QTimer>

#include "commands/SettingsJson.h"
#include "commands/SettingsReport.h"
#include "link/ToolFiles.h"
#include "ui/dialogs/SettingsDiffUnit.h"
#include "ui/widgets/PdfReport.h"

namespace {

// A job handed to a worker that ends before it runs it (the port would not open, the poll was
// stopped first) never finishes: the window looks this often whether the worker is still there.
constexpr int kWatchIntervalMs = 100;

// Whole or not at all: an older file stays as it was when the new one cannot be written.
std::string WriteWhole(const std::string& path, const std::string& text) {
    const std::string reason = WriteFileWhole(path, text);
    return reason.empty() ? reason : "не могу записать " + path + ": " + reason;
}

}  // namespace

TSettingsActions::TSettingsActions(SettingsActionsHost host, TSettingsDiffForm& diff, QObject* parent)
    : QObject(parent), host_(std::move(host)), diff_(diff) {
    watch_ = new QTimer(this);
    watch_->setInterval(kWatchIntervalMs);
    connect(watch_, &QTimer::timeout, this, &TSettingsActions::WatchWorker);
    diff_.WriteSelected = [this](const std::vector<std::string>& keys) { WriteSelected(keys); };
    diff_.Stop = [this] { StopClick(); };
    AskPath = [this](SettingsTask task) {
        QWidget* parent = host_.Window;
        switch (task) {
        case SettingsTask::Save:
            return QFileDialog::getSaveFileName(parent, kSaveSettingsText, "ornix-settings.json",
                                                "Настройки (*.json);;Все файлы (*)");
        case SettingsTask::Compare:
        case SettingsTask::Restore:
            return QFileDialog::getOpenFileName(parent, task == SettingsTask::Compare ? kCompareSettingsText
                                                                                      : kRestoreSettingsText,
                                                {}, "Настройки (*.json);;Все файлы (*)");
        case SettingsTask::Report:
            return QFileDialog::getSaveFileName(parent, kReportText, "ornix-report.pdf", "PDF (*.pdf);;HTML (*.html)");
        }
        return QString();
    };
}

void TSettingsActions::Say(const std::string& text) {
    said_ = text;
    if (host_.Say) host_.Say(text);
}

void TSettingsActions::Start(SettingsTask task, Op op, std::shared_ptr<SettingsJob> job,
                             std::function<void(SettingsJob&)> done) {
    task_ = task;
    job_ = job;
    done_ = std::move(done);
    job->Progress = [this](int done, int total) {
        if (host_.ShowJobProgress) host_.ShowJobProgress(uint64_t(std::max(done, 0)), uint64_t(std::max(total, 0)));
    };
    // The job is this one only while it is current: a late step of an old one changes nothing.
    job->Finished = [this, raw = job.get()] {
        if (job_.get() != raw) return;
        said_.clear();
        JobFinished();
        // The worker waits for this step: its status is safe to set, and the status updates
        // that follow (the operation's end, the poll going on) show the outcome, not the last
        // exchange before it.
        if (!said_.empty() && WorkerRunning.load() && CurrentWorker) CurrentWorker->CommandStatusText = said_;
    };
    ownWorker_ = !WorkerRunning.load();
    if (host_.RunOperation) host_.RunOperation(op, StageSettingsJob(job));
    watch_->start();
}

void TSettingsActions::JobFinished() {
    watch_->stop();
    if (host_.ShowJobProgress) host_.ShowJobProgress(0, 0);
    const std::shared_ptr<SettingsJob> job = std::move(job_);
    job_.reset();
    if (done_) std::exchange(done_, {})(*job);
}

void TSettingsActions::WatchWorker() {
    if (!job_ || WorkerRunning.load()) return;
    // Ended without running the job: nothing was read or written.
    job_->Complete = false;
    if (job_->Error.empty()) job_->Error = "обмен с контроллером не состоялся";
    JobFinished();
}

void TSettingsActions::StopClick() {
    if (!job_) return;
    // A restore ends between two writes, a read between two readings; a read handed to the
    // poll ends alone, the poll going on. A worker started for the job is ended with it.
    job_->StopRequested.store(true);
    if (ownWorker_ && WorkerRunning.load() && CurrentWorker) CurrentWorker->Terminate();
}

void TSettingsActions::SaveSettingsClick() {
    if (Running()) return Say(SettingsBusyText(task_));
    const QString path = AskPath ? AskPath(SettingsTask::Save) : QString();
    if (path.isEmpty()) return;
    Start(SettingsTask::Save, &ReadSettings, std::make_shared<SettingsJob>(),
          [this, path = path.toStdString()](SettingsJob& job) { Saved(job, path); });
}

void TSettingsActions::Saved(const SettingsJob& job, const std::string& path) {
    if (const std::string incomplete = IncompleteReadText(job); !incomplete.empty())
        return Say(incomplete + "; файл " + path + " не записан");
    const std::string failure = WriteWhole(path, SettingsToJson(job.Read));
    Say(failure.empty() ? "Настройки сохранены в " + path : "Настройки не сохранены: " + failure);
}

bool TSettingsActions::LoadFile(const QString& path) {
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    const LoadedSettingsFile loaded = SettingsFileFromText(
        path.toStdString(), opened ? file.readAll().toStdString() : std::string(),
        opened ? std::string() : file.errorString().toStdString());
    if (!loaded.Error.empty()) {
        Say(loaded.Error);
        return false;
    }
    file_ = loaded.Snapshot;
    filePath_ = path.toStdString();
    return true;
}

void TSettingsActions::CompareSettingsClick() { ReadToCompare(SettingsTask::Compare); }
void TSettingsActions::RestoreSettingsClick() { ReadToCompare(SettingsTask::Restore); }

void TSettingsActions::ReadToCompare(SettingsTask task) {
    if (Running()) return Say(SettingsBusyText(task_));
    const QString path = AskPath ? AskPath(task) : QString();
    if (path.isEmpty() || !LoadFile(path)) return;
    const bool restore = task == SettingsTask::Restore;
    Start(task, &ReadSettings, std::make_shared<SettingsJob>(), [this, restore](SettingsJob& job) { Compared(job, restore); });
}

void TSettingsActions::Compared(SettingsJob& job, bool restore) {
    // Compared with half the settings, the other half would pass for equal.
    if (const std::string incomplete = IncompleteReadText(job); !incomplete.empty()) return Say(incomplete);
    controller_ = job.Read;
    const std::vector<SettingDifference> differences = DiffSettings(controller_, file_);
    Say(CompareSummary(differences.size(), filePath_));
    diff_.ShowDifferences(differences, filePath_, restore);
    diff_.show();
    diff_.raise();
}

void TSettingsActions::WriteSelected(const std::vector<std::string>& keys) {
    if (Running()) return diff_.SetSummary(SettingsBusyText(task_));
    // Refused before anything is written: another device, or a layout the controller must not get.
    if (const std::string refusal = RestoreRefusal(controller_, file_, keys, false); !refusal.empty()) {
        diff_.SetSummary("Не записано: " + refusal);
        return Say("Не записано: " + refusal);
    }
    auto job = std::make_shared<SettingsJob>();
    job->Controller = controller_;
    job->File = file_;
    job->Keys = keys;
    // The comparison may be minutes old: what the engineer changed since in another window stays.
    job->ReadBeforeWriting = true;
    diff_.SetJobRunning(true);
    diff_.SetSummary("Запись...");
    Start(SettingsTask::Restore, &RestoreSettings, job, [this](SettingsJob& done) { Restored(done); });
}

void TSettingsActions::Restored(const SettingsJob& job) {
    diff_.SetJobRunning(false);
    diff_.ShowRestoreResults(job);
    Say(diff_.SummaryLabel->text().toStdString());
    // What the controller has now is what a next restore compares with.
    if (job.Complete) controller_ = job.Read;
}

void TSettingsActions::ReportClick() {
    if (Running()) return Say(SettingsBusyText(task_));
    const QString path = AskPath ? AskPath(SettingsTask::Report) : QString();
    if (path.isEmpty()) return;
    if (ReportFormatOf(path.toStdString()) == ReportFormat::None) return Say(ReportFormatRefusal(path.toStdString()));
    Start(SettingsTask::Report, &ReadSettings, std::make_shared<SettingsJob>(),
          [this, path = path.toStdString()](SettingsJob& job) { Reported(job, path); });
}

void TSettingsActions::Reported(const SettingsJob& job, const std::string& path) {
    // A record of half the settings would pass for the whole controller.
    if (const std::string incomplete = IncompleteReadText(job); !incomplete.empty())
        return Say(incomplete + "; отчёт " + path + " не записан");
    const std::string html = CommissioningReportHtml(CommissioningReportOf(job.Read, host_.Tool));
    const std::string failure =
        ReportFormatOf(path) == ReportFormat::Pdf ? WritePdfFromHtml(html, path) : WriteWhole(path, html);
    Say(failure.empty() ? "Отчёт записан в " + path : "Отчёт не записан: " + failure);
}
