// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/feedback.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

namespace orvane {

struct Feedback::Shared {
    std::atomic<bool> cancel{false};
    // Thousandths of a percent, so a poller on another thread reads it without a lock.
    std::atomic<long long> milli{0};
    mutable std::mutex mutex;
    std::string title;
    Listener listener;
    int told = -1;
};

static_assert(std::atomic<bool>::is_always_lock_free,
              "a signal handler may only set a lock-free flag");

Feedback::Feedback() : shared_(std::make_shared<Shared>()) {}

Feedback::Feedback(std::shared_ptr<Shared> shared, double from, double to)
    : shared_(std::move(shared)), from_(from), to_(to) {}

Feedback Feedback::Slice(double from, double to) const {
    from = std::clamp(from, 0.0, 100.0);
    to = std::clamp(to, from, 100.0);
    return Feedback(shared_, from_ + (to_ - from_) * from / 100.0,
                    from_ + (to_ - from_) * to / 100.0);
}

void Feedback::SetTitle(const std::string& title) {
    Listener listener;
    int percent = 0;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->title = title;
        listener = shared_->listener;
        percent = static_cast<int>(shared_->milli.load() / 1000);
        shared_->told = percent;
    }
    if (listener) listener(title, percent);
}

void Feedback::Set(double percent) {
    if (!std::isfinite(percent)) return;
    const double whole = from_ + (to_ - from_) * std::clamp(percent, 0.0, 100.0) / 100.0;
    const long long milli = std::llround(whole * 1000.0);
    shared_->milli.store(milli);
    Listener listener;
    std::string title;
    const int rounded = static_cast<int>(milli / 1000);
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        // A display is told only of whole-percent changes, so a long loop costs it little.
        if (rounded == shared_->told || !shared_->listener) return;
        shared_->told = rounded;
        listener = shared_->listener;
        title = shared_->title;
    }
    listener(title, rounded);
}

void Feedback::Step(long long done, long long total) {
    if (total <= 0) return;
    Set(100.0 * static_cast<double>(done) / static_cast<double>(total));
}

double Feedback::Percent() const { return static_cast<double>(shared_->milli.load()) / 1000.0; }

std::string Feedback::Title() const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->title;
}

void Feedback::RequestCancel() { shared_->cancel.store(true); }

bool Feedback::CancelRequested() const { return shared_->cancel.load(); }

void Feedback::ThrowIfCancelled(const std::string& what) const {
    if (CancelRequested()) throw Cancelled(what);
}

void Feedback::Reset() {
    shared_->cancel.store(false);
    shared_->milli.store(0);
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->title.clear();
    shared_->told = -1;
}

void Feedback::SetListener(Listener listener) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->listener = std::move(listener);
    shared_->told = -1;
}

}  // namespace orvane
