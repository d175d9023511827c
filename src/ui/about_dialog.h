// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QIcon>

namespace orvane {

// The application's icon, painted so that it needs no image plug-in: a reflectance curve
// with its red edge on a dark leaf-green tile.
QIcon OrvaneIcon();

// "About Orvane": icon, product name and version, OK.
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent);
};

}  // namespace orvane
