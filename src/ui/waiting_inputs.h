// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <utility>
#include <vector>

#include "ui/qt_frontend.h"

namespace orvane {

// The inputs of a dialog whose rows come from queued work: they take no input while any piece
// the dialog asked for runs or waits, and come back, with the focus where the user was, once
// the last one has ended however it ended.
class WaitingInputs {
  public:
    explicit WaitingInputs(QWidget& dialog) : dialog_(dialog) {}

    // The widgets disabled while waiting (Cancel stays out of them: it closes at any time).
    std::vector<QWidget*> widgets;
    // For a dialog whose rules enable some inputs only in some states: called instead of
    // switching `widgets`, with Waiting() already telling whether work waits.
    std::function<void()> apply;

    bool Waiting() const { return waiting_ > 0; }

    // Posts `work`, then `shown` on the UI thread when it completed and `after` however it
    // ended, before the inputs come back.
    void Queue(const WorkPoster& post, std::function<void()> work, std::function<void()> shown,
               std::function<void()> after = {}) {
        ++waiting_;
        SetEnabled(false);
        const auto end = [this, after = std::move(after)] {
            if (after) after();
            if (--waiting_ == 0) SetEnabled(true);
        };
        if (!PostThen(post, std::move(work), std::move(shown), end)) end();
    }

  private:
    void SetEnabled(bool on) {
        if (!on) focus_ = dialog_.focusWidget();
        if (apply)
            apply();
        else
            for (QWidget* w : widgets) w->setEnabled(on);
        if (on && focus_ && focus_->isEnabled()) focus_->setFocus();
    }

    QWidget& dialog_;
    int waiting_ = 0;
    QPointer<QWidget> focus_;
};

}  // namespace orvane
