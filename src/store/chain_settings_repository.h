// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace orvane {

class Database;

// The names the database gives the chain's settings.
class ChainSettingsRepository {
  public:
    explicit ChainSettingsRepository(Database& db) : db_(db) {}

    // The name of a smoothing filter type, or of a derivative method; empty when the type has
    // no row (or a NULL name).
    std::optional<std::string> SmoothingTypeName(int type);
    std::optional<std::string> DerivativeMethodName(int type);

  private:
    Database& db_;
};

}  // namespace orvane
