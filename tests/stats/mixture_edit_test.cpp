// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/mixture_edit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/orvane_error.h"
#include "support/mixing_study.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

using Names = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

class MixtureEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        study_ = test::InsertGrassSoilMixStudy(db(), "mixing");
        // Folders out of order and in mixed case, and a study whose species never show.
        for (const char* folder : {"Mixa", "mixB"})
            test::InsertMixingSpecies(db(), study_, folder, false, {});
        test::InsertMixingSpecies(db(), test::InsertStudyWithChainRows(db(), "other"), "rock", true,
                                  {});
    }

    Database& db() { return scratch_.Admin(); }
    // Flags and mixture rows, as one comparable text.
    std::string Snapshot() {
        std::string all;
        for (const char* sql : {"select concat_ws('|', species_id, endmember) from species",
                                "select concat_ws('|', mixture_id, endmember_id, abundance) "
                                "from mixture"}) {
            ResultSet r = db().Query(sql);
            while (r.Next()) all += r.String(0) + "\n";
        }
        return all;
    }

    test::ScratchDatabase scratch_{"mixtureedit"};
    int study_ = 0;
};

TEST_F(MixtureEditTest, EndmembersAreMarkedByNameAndMixturesRecordTheirAbundances) {
    EXPECT_EQ(SpeciesFolders(db(), study_, false), (Names{"grass", "mix", "Mixa", "mixB", "soil"}));
    EXPECT_EQ(MarkEndmembers(db(), study_, {"soil", "grass", "soil"}, true),
              (std::vector<bool>{true, true, false}));
    EXPECT_EQ(SpeciesFolders(db(), study_, true), (Names{"grass", "soil"}));
    EXPECT_EQ(MarkEndmembers(db(), study_, {"soil", "mix"}, false),
              (std::vector<bool>{true, false}));
    EXPECT_EQ(SpeciesFolders(db(), study_, true), Names{"grass"});

    // A mixture records its endmembers' abundances.
    MarkEndmembers(db(), study_, {"soil"}, true);
    SetMixtureAbundance(db(), study_, "mix", "soil", "0.5");
    MixtureMakeUp made = SetMixtureAbundance(db(), study_, "mix", "grass", " 0.25 ");
    EXPECT_EQ(made.abundances, (Pairs{{"grass", "0.25"}, {"soil", "0.5"}}));
    EXPECT_EQ(made.total, "0.75");
    made = SetMixtureAbundance(db(), study_, "mix", "soil", "0.75");
    EXPECT_EQ(made.total, "1");
    made = RemoveFromMixture(db(), study_, "mix", "soil");
    EXPECT_EQ(made.abundances, (Pairs{{"grass", "0.25"}}));
    EXPECT_EQ(ShowMixture(db(), study_, "mix").total, "0.25");
    EXPECT_TRUE(ShowMixture(db(), study_, "Mixa").abundances.empty());
}

TEST_F(MixtureEditTest, RefusalsChangeNothing) {
    MarkEndmembers(db(), study_, {"grass"}, true);
    SetMixtureAbundance(db(), study_, "mix", "grass", "0.5");
    const struct {
        const char* name;
        std::function<void()> act;
        const char* in_message;
    } cases[] = {
        {"an unknown folder among known ones",
         [&] { MarkEndmembers(db(), study_, {"soil", "sand"}, true); },
         "no species \"sand\"; nothing was changed"},
        {"an endmember as the mixture",
         [&] { SetMixtureAbundance(db(), study_, "grass", "grass", "0.3"); },
         "\"grass\" is not a mixture species"},
        {"a mixture species as the endmember",
         [&] { SetMixtureAbundance(db(), study_, "mix", "soil", "0.3"); },
         "\"soil\" is not an endmember of the study"},
        {"an endmember the mixture does not record",
         [&] { RemoveFromMixture(db(), study_, "Mixa", "grass"); },
         "The mixture \"Mixa\" records no endmember \"grass\"."},
        {"a species of another study", [&] { ShowMixture(db(), study_, "rock"); },
         "not a mixture species"},
    };
    for (const auto& c : cases) {
        const std::string before = Snapshot();
        EXPECT_TRUE(test::Refuses(c.act, c.in_message)) << c.name;
        EXPECT_EQ(Snapshot(), before) << c.name;
    }
    for (const char* text : {"abc", "", "0.3x", "0,3", "nan", "inf", "1e999", "lots"}) {
        const std::string before = Snapshot();
        EXPECT_THROW(SetMixtureAbundance(db(), study_, "mix", "grass", text), OrvaneError) << text;
        EXPECT_EQ(Snapshot(), before) << text;
    }
}

// An abundance is stored as the double it reads as, never rounded to a few decimals or to the
// server's decimal range, and is checked: each from 0 to 1, a mixture's total at most 1.
TEST_F(MixtureEditTest, AbundancesAreStoredExactlyAndChecked) {
    MarkEndmembers(db(), study_, {"grass", "soil", "Mixa"}, true);
    for (const char* text :
         {"0.0000004", "0.1234567891", "1", "0", " 0.25 ", "0.3333333333333333"}) {
        const MixtureMakeUp made = SetMixtureAbundance(db(), study_, "mix", "grass", text);
        ASSERT_EQ(made.abundances.size(), 1u) << text;
        EXPECT_EQ(std::strtod(made.abundances[0].second.c_str(), nullptr),
                  std::strtod(text, nullptr))
            << text << " stored as " << made.abundances[0].second;
    }

    SetMixtureAbundance(db(), study_, "mix", "grass", "0.7");
    const struct {
        const char* endmember;
        const char* text;
        const char* in_message;
    } refused[] = {
        {"grass", "-5", "not from 0 to 1"},
        {"grass", "-0.1", "not from 0 to 1"},
        {"grass", "1.0000001", "not from 0 to 1"},
        {"grass", "1e100", "not from 0 to 1"},
        {"grass", "1e-400", "too small"},
        {"soil", "0.3000001", "more than 1"},
        {"soil", "1", "at most 0.3"},
    };
    for (const auto& c : refused) {
        const std::string before = Snapshot();
        const auto set = [&] { SetMixtureAbundance(db(), study_, "mix", c.endmember, c.text); };
        EXPECT_TRUE(test::Refuses(set, c.in_message)) << c.text;
        EXPECT_TRUE(test::Refuses(set, "nothing was saved")) << c.text;
        EXPECT_EQ(Snapshot(), before) << c.text;
    }
    // Decimal fractions that total 1 pass although their doubles may sum a little above it.
    SetMixtureAbundance(db(), study_, "mix", "grass", "0.33");
    SetMixtureAbundance(db(), study_, "mix", "soil", "0.56");
    EXPECT_EQ(SetMixtureAbundance(db(), study_, "mix", "Mixa", "0.11").abundances.size(), 3u);

    // A total above 1 from older data may be lowered, not raised.
    db().Execute("update mixture set abundance = 0.9");
    EXPECT_NO_THROW(SetMixtureAbundance(db(), study_, "mix", "soil", "0.5"));
    EXPECT_THROW(SetMixtureAbundance(db(), study_, "mix", "soil", "0.6"), OrvaneError);
}

}  // namespace
}  // namespace orvane
