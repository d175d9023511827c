// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace orvane {

// The outcome of a run the user stopped. Deliberately not an OrvaneError: the faces report it
// as "cancelled", never as a failure. Its text begins with "cancelled".
class Cancelled : public std::runtime_error {
  public:
    explicit Cancelled(const std::string& what = "cancelled") : std::runtime_error(what) {}
};

// Progress of one long run, 0..100, and the request to stop it. A step hands its part of the
// work a Slice, whose own 0..100 covers a range of the parent's, so the parts need not know
// how the whole is divided. Copies and slices share one state; the cancel request may come
// from any thread.
class Feedback {
  public:
    // Told the title and the whole run's percentage (rounded) whenever either changes; runs
    // on the thread that reports the progress.
    using Listener = std::function<void(const std::string& title, int percent)>;

    Feedback();

    // A feedback whose 0..100 covers [from, to] of this one's 0..100.
    Feedback Slice(double from, double to) const;

    void SetTitle(const std::string& title);
    // This feedback's own progress, clamped to 0..100.
    void Set(double percent);
    // `done` of `total` units of this feedback's work.
    void Step(long long done, long long total);

    // The whole run's progress and title, for a display that polls.
    double Percent() const;
    std::string Title() const;

    // Safe from any thread, also from a signal handler.
    void RequestCancel();
    bool CancelRequested() const;
    // Throws Cancelled with `what` when a cancel was requested.
    void ThrowIfCancelled(const std::string& what = "cancelled") const;

    // Back to 0 %, no title and no cancel request, for the next run.
    void Reset();
    void SetListener(Listener listener);

  private:
    struct Shared;
    Feedback(std::shared_ptr<Shared> shared, double from, double to);

    std::shared_ptr<Shared> shared_;
    double from_ = 0.0;
    double to_ = 100.0;
};

}  // namespace orvane
