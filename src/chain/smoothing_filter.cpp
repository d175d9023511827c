// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/smoothing_filter.h"

#include "chain/processing_session.h"

namespace orvane {

SmoothingFilter::SmoothingFilter(ProcessingSession& session, int type, int filter_id,
                                 FilterContext context)
    : session_(session), type_(type), filter_id_(filter_id), context_(context) {}

PassThroughFilter::PassThroughFilter(ProcessingSession& session, int filter_id)
    : SmoothingFilter(session, 0, filter_id, FilterContext::kSmoothing) {
    Refresh();
}

void PassThroughFilter::Apply(const BandVector& in, BandVector& out) {
    for (int k = in.First(); k <= in.Last(); ++k)
        if (out.InRange(k)) out.Set(k, in.Value(k), in.X(k));
    out.SetValidCount(in.ValidCount());
}

void PassThroughFilter::Refresh() {
    session_.RegisterAdjustedFilter(FilterContext::kSmoothing, session_.StudyFilter());
}

}  // namespace orvane
