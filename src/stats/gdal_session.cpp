// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/gdal_session.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>

#include <mutex>

#include "base/orvane_error.h"

namespace orvane {

namespace {

constexpr GIntBig kBlockCacheBytes = 256LL * 1024 * 1024;

void CPL_STDCALL Handler(CPLErr kind, CPLErrorNum, const char* message) {
    auto* session = static_cast<GdalSession*>(CPLGetErrorHandlerUserData());
    if (session) session->Collect(static_cast<int>(kind), message);
}

}  // namespace

GdalSession::GdalSession() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        if (CPLGetConfigOption("GDAL_CACHEMAX", nullptr) == nullptr)
            GDALSetCacheMax64(kBlockCacheBytes);
    });
    CPLPushErrorHandlerEx(&Handler, this);
}

GdalSession::~GdalSession() { CPLPopErrorHandler(); }

void GdalSession::Collect(int kind, const char* message) {
    if (kind < CE_Failure || !message) return;
    std::string text = message;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (failures_.size() < 5) failures_.push_back(text);
}

std::string GdalSession::Reason(const std::string& fallback) const {
    if (failures_.empty()) return fallback;
    std::string text;
    for (const std::string& f : failures_) text += (text.empty() ? "" : "; ") + f;
    return text;
}

void GdalSession::Fail(const std::string& context) const {
    throw OrvaneError(context + ": " + Reason() + ".");
}

}  // namespace orvane
