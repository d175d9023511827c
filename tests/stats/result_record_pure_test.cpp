// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/result_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include <nlohmann/json.hpp>

#include "support/analysis_rig.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

// Reports errors as well as results, so a failed write can be seen.
class ErrorFrontend : public Frontend {
  public:
    void Report(const std::string&) override {}
    void Error(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> errors;
};

TEST(ResultRecordTest, JsonTwinReplacesTheExtension) {
    const struct {
        const char* result;
        const char* json;
    } cases[] = {{"/out/Error Matrix.csv", "/out/Error Matrix.json"},
                 {"/out/JM and B output.csv", "/out/JM and B output.json"},
                 {"/o.d/pca_output", "/o.d/pca_output.json"},  // a dot in the folder only
                 {"/out/.hidden", "/out/.hidden.json"},
                 {"table.v2.csv", "table.v2.json"}};
    for (const auto& c : cases) EXPECT_EQ(JsonPathBeside(c.result), c.json) << c.result;
}

TEST(ResultRecordTest, NonFiniteNumbersAndBadTextStillGiveValidJson) {
    test::TempDir dir;
    ErrorFrontend frontend;
    ResultJson record;
    record["finite"] = JsonNumber(1.5);
    record["nan"] = JsonNumber(std::nan(""));
    record["inf"] = JsonNumber(-std::numeric_limits<double>::infinity());
    record["name"] = std::string("caf\xC3\xA9 \xFF");  // the last byte is not UTF-8
    const std::string path = WriteJsonBeside(dir.File("result.csv"), record, frontend);
    ASSERT_EQ(path, dir.File("result.json"));
    EXPECT_TRUE(frontend.errors.empty());
    const nlohmann::json back = test::ReadJson(path);
    EXPECT_EQ(back["finite"], 1.5);
    EXPECT_TRUE(back["nan"].is_null());
    EXPECT_TRUE(back["inf"].is_null());
    EXPECT_EQ(back["name"], "caf\xC3\xA9 \xEF\xBF\xBD");
}

TEST(ResultRecordTest, UnwritableFolderIsReportedAndGivesNoPath) {
    test::TempDir dir;
    ErrorFrontend frontend;
    EXPECT_EQ(WriteJsonBeside(dir.File("missing/result.csv"), ResultJson::object(), frontend),
              "");
    ASSERT_EQ(frontend.errors.size(), 1u);
    EXPECT_NE(frontend.errors[0].find("missing/result.json"), std::string::npos)
        << frontend.errors[0];
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

}  // namespace
}  // namespace orvane
