// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace orvane {

// While one lives on a thread, GDAL's drivers are registered, its block cache is bounded
// (256 MB unless GDAL_CACHEMAX says otherwise: its default of 5 % of the memory would let a
// large scene fill gigabytes with blocks read once) and its failures on this thread are kept
// for the message of an OrvaneError instead of going to standard error (GDAL's handler stack
// is per thread).
class GdalSession {
  public:
    GdalSession();
    ~GdalSession();
    GdalSession(const GdalSession&) = delete;
    GdalSession& operator=(const GdalSession&) = delete;

    // GDAL's failures since the session began, joined, without closing full stops; `fallback`
    // when it gave none.
    std::string Reason(const std::string& fallback = "GDAL gave no reason") const;
    // Throws OrvaneError "<context>: <Reason()>."
    [[noreturn]] void Fail(const std::string& context) const;

  private:
  public:
    // Called by GDAL's handler on this thread.
    void Collect(int kind, const char* message);

  private:
    std::vector<std::string> failures_;
};

}  // namespace orvane
