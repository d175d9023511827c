// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <string>

class QTextBrowser;
class QPlainTextEdit;

namespace orvane {

// Help > Orvane Manual: the README rendered, its links followed inside the window and its
// pictures shown from the folder beside it.
class ManualWindow : public QDialog {
    Q_OBJECT

  public:
    ManualWindow(const std::string& readme_path, QWidget* parent);
    QTextBrowser* Browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};

// Help > How to Cite: the citation as text to select or copy.
class CitationDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CitationDialog(QWidget* parent);
    QPlainTextEdit* Text() const { return text_; }

  private:
    QPlainTextEdit* text_;
};

}  // namespace orvane
