// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt_frontend.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>

#include "forms/workbench_document.h"
#include "ui/name_type_dialog.h"
#include "ui/analysis_dialog.h"

namespace orvane {

QtFrontend::QtFrontend(WorkbenchDocument& doc, QWidget* parent) : doc_(doc), parent_(parent) {}

QtFrontend::~QtFrontend() = default;

bool QtFrontend::OnUiThread() const { return QThread::currentThread() == parent_->thread(); }

// During a job the document belongs to the job's thread: entries are added there, and the
// window shows them when the job has ended.
void QtFrontend::Report(const std::string& text) { doc_.Report(text); }

void QtFrontend::Error(const std::string& text) {
    last_error_ = text;
    doc_.Report(text);
    if (!message_boxes_) return;
    // A message box is a widget, so a job's failure is shown from the UI thread.
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(
            parent_,
            [parent = parent_, text] {
                QMessageBox::warning(parent, QStringLiteral("Orvane"),
                                     QString::fromStdString(text));
            },
            Qt::QueuedConnection);
        return;
    }
    QMessageBox::warning(parent_, QStringLiteral("Orvane"), QString::fromStdString(text));
}

bool QtFrontend::Confirm(const std::string& question) {
    // A job waits for the answer; the UI thread never waits for the job, so this cannot lock.
    if (!OnUiThread()) {
        bool answer = false;
        QMetaObject::invokeMethod(
            parent_, [&] { answer = Confirm(question); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    if (confirm_answer_) return confirm_answer_(question);
    return QMessageBox::question(
               parent_, QStringLiteral("Orvane"), QString::fromStdString(question),
               QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
}

std::string QtFrontend::ChooseFolder(const std::string& title, const std::string& start) {
    QSettings settings = OrvaneSettings();
    const QString last = settings.value(QStringLiteral("folders/study"), QDir::currentPath()).toString();
    const QString path = QFileDialog::getExistingDirectory(
        parent_, QString::fromStdString(title), start.empty() ? last : QString::fromStdString(start));
    if (!path.isEmpty()) settings.setValue(QStringLiteral("folders/study"), path);
    return path.toStdString();
}

bool QtFrontend::ChooseNameType(int& name_type) {
    if (name_type_answer_) return name_type_answer_(name_type);
    NameTypeDialog dialog(parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    name_type = dialog.NameType();
    return true;
}

bool QtFrontend::ChooseAnalysisOptions(const Analysis& analysis, AnalysisValues& values) {
    values = analysis.Defaults();
    if (analysis_answer_) return analysis_answer_(analysis, values);
    AnalysisDialog dialog(analysis, parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    values = dialog.Values();
    return true;
}

std::string QtFrontend::ChooseOpenFile(const std::string& title, const std::string& filter) {
    QSettings settings = OrvaneSettings();
    const QString start = settings.value(QStringLiteral("folders/open"), QDir::currentPath()).toString();
    const QString path = QFileDialog::getOpenFileName(parent_, QString::fromStdString(title), start,
                                                      QString::fromStdString(filter));
    if (!path.isEmpty())
        settings.setValue(QStringLiteral("folders/open"), QFileInfo(path).absolutePath());
    return path.toStdString();
}

std::vector<std::string> QtFrontend::ChooseOpenFiles(const std::string& title,
                                                     const std::string& filter) {
    if (open_files_answer_) return open_files_answer_();
    QSettings settings = OrvaneSettings();
    const QString start = settings.value(QStringLiteral("folders/open"), QDir::currentPath()).toString();
    const QStringList paths = QFileDialog::getOpenFileNames(
        parent_, QString::fromStdString(title), start, QString::fromStdString(filter));
    std::vector<std::string> chosen;
    for (const QString& path : paths) chosen.push_back(path.toStdString());
    if (!paths.isEmpty())
        settings.setValue(QStringLiteral("folders/open"), QFileInfo(paths.front()).absolutePath());
    return chosen;
}

std::string QtFrontend::ChooseSaveFile(const std::string& title, const std::string& proposed,
                                       const std::string& filter) {
    if (save_file_answer_) return save_file_answer_(proposed);
    const QString path =
        QFileDialog::getSaveFileName(parent_, QString::fromStdString(title),
                                     QString::fromStdString(proposed), QString::fromStdString(filter));
    return path.toStdString();
}

QSettings OrvaneSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Orvane"),
                     QStringLiteral("Orvane"));
}

}  // namespace orvane
