// SPDX-License-Identifier: GPL-3.0-or-later
#include "chain/processing_chain.h"
#include "store/array_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "chain/processing_session.h"
#include "study/study_loader.h"
#include "store/database.h"
#include "support/refusal.h"
#include "support/scratch_database.h"
#include "support/study_rows.h"

namespace orvane {
namespace {

double DoubleAt(const std::string& block, size_t offset) {
    double v;
    std::memcpy(&v, block.data() + offset, sizeof v);
    return v;
}

std::string ReadColumn(Database& db, const std::string& sql) {
    ResultSet rows = db.Query(sql);
    std::string block;
    while (rows.Next()) block = rows.String(0);
    return block;
}

// The BLOB as the prepared-statement path reads it into the matrix's own storage.
void ReadInto(Database& db, const std::string& sql, NEWMAT::GeneralMatrix& m) {
    Statement stmt(db, sql);
    const unsigned long capacity = static_cast<unsigned long>(m.Storage()) * sizeof(double);
    stmt.BindResultBlob(0, m.Store(), capacity);
    stmt.Execute();
    ASSERT_TRUE(stmt.Fetch());
    EXPECT_EQ(stmt.Length(0), capacity);
}

class ArrayCodec : public ::testing::Test {
  protected:
    ArrayCodec() : scratch_("codec"), session_(scratch_.Connect(), nullptr) {}
    Database& Db() { return session_.Db(); }

    test::ScratchDatabase scratch_;
    ProcessingSession session_;
};

TEST_F(ArrayCodec, SpectrumRoundTripIsBitExact) {
    std::vector<float> values = test::DistinctReflectances(5);
    // Values whose bits a conversion through text or double arithmetic would change.
    values[0] = -0.0f;
    values[1] = std::numeric_limits<float>::denorm_min();
    values[2] = std::numeric_limits<float>::max();
    values[3] = -1.0f;
    values[4] = std::nextafter(0.1f, 1.0f);
    values[2149] = std::numeric_limits<float>::quiet_NaN();
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "sp");
    const int site = test::InsertSite(Db(), study, species, 1);
    const int id = test::InsertSpectrum(Db(), study, species, site, {}, test::Blob(values));

    const std::string stored =
        ReadColumn(Db(), Sql("select reflectances from spectrum where spectrum_id = %i", id));
    ASSERT_EQ(stored.size(), 8600u);
    EXPECT_EQ(std::memcmp(stored.data(), values.data(), 8600), 0);

    StudyLoader loader(session_);
    auto spectrum = loader.LoadSpectrum(id);
    EXPECT_EQ(std::memcmp(spectrum->reflectances_.data(), values.data(), 8600), 0);
    Chain chain{CompiledChain::Compile(ChainSpec{})};
    const BandVector& raw = chain.Run(*spectrum, Stage::kRaw);
    ASSERT_EQ(std::make_pair(raw.First(), raw.Last()), std::make_pair(350, 2499));
    for (int i = 0; i < 2149; ++i) {
        const int w = 350 + i;
        // The stored encoding of a band without value is read as no value.
        if (i == 3) {
            ASSERT_FALSE(HasValue(raw.Value(w)));
            continue;
        }
        const double expected = static_cast<double>(values[static_cast<size_t>(i)]);
        ASSERT_EQ(std::memcmp(&raw.Values()[w - raw.First()], &expected, sizeof expected), 0) << w;
        ASSERT_EQ(raw.X(w), static_cast<double>(w));
    }
    EXPECT_TRUE(std::isnan(raw.Value(2499)));
    EXPECT_TRUE(std::signbit(raw.Value(350)));
}

// Matrices are stored row by row (so the eigenvector columns come interleaved), a diagonal
// matrix as its diagonal only; both read back through either reader.
TEST_F(ArrayCodec, MatricesAreStoredRowByRow) {
    Matrix cov(3, 3);
    cov << 1.0 << 0.12 << 0.13   // row 1
        << 0.21 << 2.0 << 0.23   // row 2
        << 0.31 << 0.32 << 3.0;  // row 3
    const std::string block = EncodeMatrix(cov);
    ASSERT_EQ(block.size(), 72u);
    EXPECT_EQ(DoubleAt(block, 16), 0.13);  // element (0, 2)
    EXPECT_EQ(DoubleAt(block, 48), 0.31);  // element (2, 0)
    DiagonalMatrix values(2);
    values << 0.25 << 4.5;
    const std::string values_block = EncodeMatrix(values);
    ASSERT_EQ(values_block.size(), 16u);
    EXPECT_EQ(DoubleAt(values_block, 8), 4.5);

    Db().Execute("insert into statistic (library_id, species_id, no_of_samples) values (1, 1, 4)");
    const int id = static_cast<int>(Db().InsertId());
    Db().WriteBlob(Sql("UPDATE statistic SET cov = ? WHERE statistic_id = %i", id), block.data(),
                   block.size());
    const std::string stored =
        ReadColumn(Db(), Sql("select cov from statistic where statistic_id = %i", id));
    EXPECT_EQ(stored, block);
    Matrix back(3, 3);
    back = 0.0;
    ReadInto(Db(), Sql("SELECT cov FROM statistic where statistic_id = %i", id), back);
    Matrix decoded(3, 3);
    DecodeMatrix(stored, decoded, "covariance");
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c) {
            EXPECT_EQ(back(r, c), cov(r, c)) << r << "," << c;
            EXPECT_EQ(decoded(r, c), cov(r, c)) << r << "," << c;
        }
    DiagonalMatrix values_back(2);
    DecodeMatrix(values_block, values_back, "eigenvalues");
    EXPECT_EQ(values_back(2, 2), 4.5);
}

// A stored reflectance block of any length but 8600 bytes is refused by every reader.
TEST_F(ArrayCodec, SpectrumBlobOfTheWrongLengthIsRejected) {
    const int study = test::InsertStudy(Db(), "s");
    const int species = test::InsertSpecies(Db(), study, "sp");
    const std::vector<float> good = test::DistinctReflectances(1);
    const struct {
        const char* name;
        std::string block;  // empty: the column stays NULL
        const char* bytes_in_message;
    } cases[] = {
        {"one float short", test::Blob(good).substr(0, 8596), "8596 bytes"},
        {"one float long", test::Blob(good) + std::string(4, '\x01'), "8604 bytes"},
        {"doubles instead of floats", std::string(17200, '\0'), "17200 bytes"},
        {"NULL", "", "0 bytes"}};
    StudyLoader loader(session_);
    int site_no = 0;
    for (const auto& c : cases) {
        const int site = test::InsertSite(Db(), study, species, ++site_no);
        test::InsertSpectrum(Db(), study, species, site, {1}, test::Blob(good));
        const int bad = test::InsertSpectrum(Db(), study, species, site, {2}, c.block);
        for (int reader = 0; reader < 2; ++reader) {
            const auto load = [&] {
                if (reader == 0)
                    loader.LoadSpectrum(bad);
                else
                    loader.LoadSite(site);
            };
            for (const std::string& part :
                 {"Spectrum " + std::to_string(bad), std::string(c.bytes_in_message), std::string("8600")})
                EXPECT_TRUE(test::Refuses(load, part)) << c.name << ", reader " << reader;
        }
    }
    // A rejected row does not disturb the next load.
    const int site = test::InsertSite(Db(), study, species, 99);
    const int ok = test::InsertSpectrum(Db(), study, species, site, {7}, test::Blob(good));
    EXPECT_EQ(loader.LoadSpectrum(ok)->number_, 7);
    EXPECT_EQ(loader.LoadSite(site)->MemberCount(), 1);
}

}  // namespace
}  // namespace orvane
