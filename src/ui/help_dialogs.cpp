// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "forms/help_texts.h"

namespace orvane {

ManualWindow::ManualWindow(const std::string& readme_path, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("manual"));
    setWindowTitle(QStringLiteral("Orvane Manual"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("manualText"));
    // Web links go to the user's browser; the README's own anchors stay here.
    browser_->setOpenExternalLinks(true);
    browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(readme_path)),
                        QTextDocument::MarkdownResource);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(900, 700);
}

CitationDialog::CitationDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("citation"));
    setWindowTitle(QStringLiteral("How to Cite Orvane"));
    text_ = new QPlainTextEdit(QString::fromStdString(CitationText()), this);
    text_->setObjectName(QStringLiteral("citationText"));
    text_->setReadOnly(true);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* copy = buttons->addButton(QStringLiteral("&Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyCitation"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(text_->toPlainText()); });
    resize(620, 320);
}

}  // namespace orvane
