// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dock_layout.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>

namespace orvane {

void PlaceDock(QMainWindow& window, QDockWidget* dock) {
    QDockWidget* beside = nullptr;
    for (QDockWidget* other : window.findChildren<QDockWidget*>())
        if (other != dock && !other->isFloating() &&
            window.dockWidgetArea(other) == Qt::BottomDockWidgetArea)
            beside = other;
    // With no dock below yet the form has the whole height; it keeps what it asks for.
    const QWidget* form = window.centralWidget();
    const int shared = form && window.isVisible() ? form->height() : 0;
    window.addDockWidget(Qt::BottomDockWidgetArea, dock);
    // The tabs sit where a dock's title is, right under the form.
    window.setTabPosition(Qt::BottomDockWidgetArea, QTabWidget::North);
    if (beside) {
        window.tabifyDockWidget(beside, dock);
        dock->show();
        dock->raise();
        return;
    }
    if (shared <= 0) return;
    const int separator = window.style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent);
    const int left = shared - form->sizeHint().height() - separator;
    window.resizeDocks({dock}, {std::max(dock->minimumSizeHint().height(), left)}, Qt::Vertical);
}

}  // namespace orvane
