// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dock_layout.h"

#include <QDockWidget>
#include <QEvent>
#include <QMainWindow>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>

namespace orvane {

namespace {

// Watches the window's size: when it shrinks, the docks below give up height before the form
// has to scroll, as far as their own minimum allows.
class FormKeeper : public QObject {
  public:
    explicit FormKeeper(QMainWindow& window) : QObject(&window), window_(window) {
        setObjectName(QStringLiteral("formKeeper"));
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // The window lays itself out after its resize event; the form is measured after that.
        if (watched == &window_ && event->type() == QEvent::Resize)
            QMetaObject::invokeMethod(this, [this] { Keep(); }, Qt::QueuedConnection);
        return false;
    }

  private:
    void Keep() {
        const QWidget* form = window_.centralWidget();
        if (!form) return;
        const int short_by = form->sizeHint().height() - form->height();
        if (short_by <= 0) return;
        for (QDockWidget* dock : window_.findChildren<QDockWidget*>()) {
            if (!dock->isVisible() || dock->isFloating() ||
                window_.dockWidgetArea(dock) != Qt::BottomDockWidgetArea)
                continue;
            const int spare = dock->height() - dock->minimumSizeHint().height();
            if (spare > 0)
                window_.resizeDocks({dock}, {dock->height() - std::min(spare, short_by)},
                                    Qt::Vertical);
            return;
        }
    }

    QMainWindow& window_;
};

}  // namespace

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
    if (!window.findChild<QObject*>(QStringLiteral("formKeeper"), Qt::FindDirectChildrenOnly))
        new FormKeeper(window);
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
