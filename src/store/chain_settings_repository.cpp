// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/chain_settings_repository.h"

#include "store/database.h"

namespace orvane {

namespace {

std::optional<std::string> Text(Database& db, const std::string& sql) {
    std::string text;
    if (!db.QueryText(sql, text)) return std::nullopt;
    return text;
}

}  // namespace

std::optional<std::string> ChainSettingsRepository::SmoothingTypeName(int type) {
    return Text(db_, Sql("select name from smoothing_filter_type where type = %i", type));
}

std::optional<std::string> ChainSettingsRepository::DerivativeMethodName(int type) {
    return Text(db_, Sql("select name from derivative_calc_method where type = %i", type));
}

}  // namespace orvane
