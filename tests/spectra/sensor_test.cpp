// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectra/sensor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/orvane_error.h"
#include "chain/processing_session.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

class Sensors : public ::testing::Test {
  protected:
    Sensors() : scratch_("sensor"), db_(scratch_.Connect()) {}

    int Count(const std::string& table) {
        return test::Count(*db_, "select count(*) from " + table);
    }

    std::string Write(const std::string& name, const std::string& content) {
        const std::string path = dir_.File(name);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static std::unique_ptr<Sensor> Importer(int type) {
        if (type == kResponseRatio) return std::make_unique<RatioSensor>();
        return std::make_unique<GaussianSensor>();
    }

    // Imports with the given object, then loads the stored sensor as start-up would.
    std::unique_ptr<Sensor> ImportAndLoad(const std::string& path, int type) {
        std::unique_ptr<Sensor> importer = Importer(type);
        importer->Import(*db_, path);
        std::unique_ptr<Sensor> loaded = MakeSensor(type);
        loaded->Load(*db_, importer->SensorId());
        return loaded;
    }

    static std::vector<int> Bands(const Sensor& s) {
        std::vector<int> bands;
        for (const SensorElement& e : s.Elements()) bands.push_back(e.band_no);
        return bands;
    }

    test::ScratchDatabase scratch_;
    std::unique_ptr<Database> db_;
    test::TempDir dir_;
};

struct RealFile {
    const char* file;
    int type;
    const char* name;
    int stored_rows;
    std::vector<int> bands;
    std::vector<double> centres;
};

TEST_F(Sensors, RealFilesImportThenLoad) {
    const RealFile files[] = {
        // clang-format off
        {"landsat8_oli.txt", kResponseGaussian, "Landsat 8 OLI", 8, {1, 2, 3, 4, 5, 6, 7},
         {442.98, 482.59, 561.33, 654.61, 864.57, 1609.09, 2201.25}},
        {"modis_land.txt", kResponseGaussian, "MODIS land bands", 7, {3, 4, 1, 2, 5, 6, 7},
         {469.0, 555.0, 645.0, 858.5, 1240.0, 1640.0, 2130.0}},
        {"landsat8_oli_ratio.txt", kResponseRatio, "Landsat 8 OLI (response table)", 675,
         {1, 2, 3, 4, 5, 6, 7}, {443, 481, 560, 654, 864, 1606, 2197}},
        // clang-format on
    };
    int rows_before = 0;
    for (const RealFile& f : files) {
        auto sensor = ImportAndLoad(test::TestData(std::string("sensors/") + f.file), f.type);
        EXPECT_EQ(sensor->Name(), f.name) << f.file;
        EXPECT_EQ(sensor->ResponseType(), f.type) << f.file;
        EXPECT_EQ(Count("sensor_element") - rows_before, f.stored_rows) << f.file;
        rows_before = Count("sensor_element");
        EXPECT_EQ(Bands(*sensor), f.bands) << f.file;
        ASSERT_EQ(sensor->ElementCount(), static_cast<int>(f.centres.size())) << f.file;
        for (int i = 0; i < sensor->ElementCount(); ++i) {
            const SensorElement& e = sensor->Element(i);
            EXPECT_EQ(e.number, i + 1) << f.file;
            EXPECT_DOUBLE_EQ(e.avg_wavelength, f.centres[static_cast<size_t>(i)]) << f.file;
            EXPECT_TRUE(sensor->Usable(i)) << f.file << " element " << i + 1;
        }
    }
    EXPECT_EQ(Count("sensor"), 3);
}

TEST_F(Sensors, UncalibratedBandIsStoredButNotLoaded) {
    auto sensor = ImportAndLoad(test::TestData("sensors/landsat8_oli.txt"), kResponseGaussian);
    ResultSet rows =
        db_->Query(Sql("select band_no, calibrated, avg_wavelength, fwhm from sensor_element where "
                       "sensor_id = %i order by sensor_element_id",
                       sensor->SensorId()));
    std::vector<std::pair<int, int>> stored;
    while (rows.Next()) {
        stored.emplace_back(rows.Int(0), rows.Int(1));
        if (rows.Int(0) == 9) {
            EXPECT_EQ(std::make_pair(rows.Real(2), rows.Real(3)), std::make_pair(1373.48, 20.38));
        }
    }
    EXPECT_EQ(stored, (std::vector<std::pair<int, int>>{
                          {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {9, 0}, {6, 1}, {7, 1}}));
    EXPECT_EQ(sensor->ElementByWavelength(1373.48), -1);
    EXPECT_DOUBLE_EQ(sensor->Element(0).fwhm, 15.96);
}

// The usable flag's edges; comments and blank lines after the header are no elements.
TEST_F(Sensors, GaussianUsableFlagEdges) {
    const std::string path = Write("edges.txt",
                                   "Edges\nEdge cases of the usable flag\nband,centre,fwhm,mark\n"
                                   "# far ends\n1,2499.5,10,C\n\n2,2499.6,10,C\n   \n"
                                   "3,349.5,10,C\n4,349.51,10,C\n# marks\n6,1000,10,X\n"
                                   "7,1000,10,Xtra\n8,1000,10,x\n\n");
    auto sensor = ImportAndLoad(path, kResponseGaussian);
    EXPECT_EQ(Bands(*sensor), (std::vector<int>{1, 2, 3, 4, 8}));
    std::vector<bool> usable;
    for (const SensorElement& e : sensor->Elements()) usable.push_back(e.usable);
    EXPECT_EQ(usable, (std::vector<bool>{true, false, false, true, true}));
    EXPECT_EQ(Count("sensor_element"), 7);
}

TEST_F(Sensors, RatioCentresAndResponses) {
    const std::string path = Write("ratio.txt",
                                   "Ratio test\nCentres by integer division\nband,wl,ratio\n"
                                   "1,450,0.25\n2,600,0.5\n1,460,0.5\n3,340,1\n1,471.9,0.75\n"
                                   "2,611,0.125\n3,358,1\n4,2498,1\n4,2501,1\n5,2499,1\n"
                                   "5,2502,1\n");
    auto sensor = ImportAndLoad(path, kResponseRatio);
    EXPECT_EQ(Bands(*sensor), (std::vector<int>{1, 2, 3, 4, 5}));
    const struct {
        double centre;
        bool usable;
        size_t samples;
    } expected[] = {{460, true, 3},     // (450 + 471) / 2, 471.9 truncated
                               {605, true, 2},     // lines of one band need not be adjacent
                               {349, false, 2},    // below 350
                               {2499, true, 2},    // (2498 + 2501) / 2
                               {2500, false, 2}};  // not below 2500
    ASSERT_EQ(sensor->ElementCount(), 5);
    for (int i = 0; i < 5; ++i) {
        const SensorElement& e = sensor->Element(i);
        EXPECT_EQ(e.avg_wavelength, expected[i].centre) << "band " << e.band_no;
        EXPECT_EQ(e.usable, expected[i].usable) << "band " << e.band_no;
        EXPECT_EQ(e.ratios.size(), expected[i].samples) << "band " << e.band_no;
    }
    // Responses below 1 keep their value; wavelengths are whole nanometres.
    EXPECT_EQ(sensor->Element(0).ratios[2], std::make_pair(471.0, 0.75));
    EXPECT_EQ(sensor->Element(1).ratios[1], std::make_pair(611.0, 0.125));
}

TEST_F(Sensors, NameWithQuotesIsStoredVerbatim) {
    const std::string name = "O'Brien's \"field\" sensor \\ v2";
    const std::string description = "It's got commas, tabs\tand 'quotes'";
    const std::string path =
        Write("quoted.txt", name + "\n" + description + "\nband,c,f,m\n1,500,10,C\n");
    auto sensor = ImportAndLoad(path, kResponseGaussian);
    EXPECT_EQ(sensor->Name(), name);
    EXPECT_EQ(sensor->Description(), description);
    std::string stored;
    db_->QueryText(Sql("select name from sensor where sensor_id = %i", sensor->SensorId()), stored);
    EXPECT_EQ(stored, name);

    // A second sensor of that name could not be told apart: refused, whatever its type.
    const std::string ratio_text = "\n" + description + "\nband,wl,ratio\n1,500,1\n";
    EXPECT_THROW(ImportAndLoad(Write("same.txt", name + ratio_text), kResponseRatio), OrvaneError);
    EXPECT_THROW(ImportAndLoad(path, kResponseGaussian), OrvaneError);
    auto ratio = ImportAndLoad(Write("quoted_ratio.txt", name + " ratio" + ratio_text),
                               kResponseRatio);
    EXPECT_EQ(ratio->Name(), name + " ratio");
    EXPECT_EQ(ratio->Description(), description);
}

TEST_F(Sensors, MalformedFilesAreRefusedAndStoreNothing) {
    const int g = kResponseGaussian, r = kResponseRatio;
    const std::string header = "Broken\nA broken sensor\nband,centre,fwhm,mark\n";
    const std::string ratio = "Broken\nA broken sensor\nband,wl,ratio\n";
    const struct {
        const char* name;
        int type;
        std::string content;  // "<missing>" writes no file
        const char* in_message;
    } cases[] = {
        {"gaussian, too few tokens", g, header + "1,480,20,C\n2,560,20\n3,660,20,C\n", "line 5"},
        {"gaussian centre not a number", g, header + "1,480,20,C\n# note\n2,5x0,20,C\n", "line 6"},
        {"gaussian header only", g, header, "no bands"},
        {"gaussian missing file", g, "<missing>", "absent.txt"},
        {"ratio, too few tokens", r, ratio + "1,450,1\n1,460\n", "line 5"},
        {"ratio wavelength beyond int", r, ratio + "1,450,1\n1,-2147483649,1\n", "line 5"},
        {"ratio wavelength out of range", r, ratio + "1,2601,1\n", "from 300 to 2600"},
        {"ratio negative", r, ratio + "1,450,-0.5\n", "the ratio"},
        {"ratio band without response", r, ratio + "1,450,1\n2,460,0\n2,470,0\n", "band 2"},
        {"gaussian band beyond int", g, header + "4294967297,480,20,C\n", "band number"},
        {"gaussian centre nan", g, header + "1,nan,20,C\n", "centre wavelength"},
        {"gaussian zero width", g, header + "1,480,0,C\n", "FWHM"},
        {"gaussian empty name", g, "\nA sensor\nband,centre,fwhm,mark\n1,480,20,C\n", "name"}};
    for (const auto& c : cases) {
        const std::string path =
            c.content == "<missing>" ? dir_.File("absent.txt") : Write("bad.txt", c.content);
        const auto import = [&] { Importer(c.type)->Import(*db_, path); };
        EXPECT_TRUE(test::Refuses(import, path)) << c.name;
        EXPECT_TRUE(test::Refuses(import, c.in_message)) << c.name;
        EXPECT_FALSE(test::Refuses(import, "About to quit")) << c.name;
        EXPECT_EQ(Count("sensor") + Count("sensor_element"), 0) << c.name;
    }
}

// A sensor's name is what users give to choose it, so it may not read as an id, and the
// database is never handed bytes it would refuse with an error about a column.
TEST_F(Sensors, NamesThatReadAsIdsOrAreNotUtf8AreRefused) {
    const struct {
        std::string name;
        const char* in_message;
    } cases[] = {{"42", "\"42\" is made of digits only"},
                 {" 7 ", "made of digits only"},
                 {"id:1", "begins with \"id:\""},
                 {"bad\xFF\xFE", "The sensor name \"bad\\xff\\xfe\" is not valid UTF-8"}};
    for (const auto& c : cases) {
        const std::string path =
            Write("named.txt", c.name + "\nA sensor\nband,c,f,m\n1,500,10,C\n");
        EXPECT_TRUE(test::Refuses([&] { ImportAndLoad(path, kResponseGaussian); }, c.in_message))
            << c.name;
        EXPECT_EQ(Count("sensor") + Count("sensor_element"), 0) << c.name;
    }
}

// Values reach the database bit for bit, however small or large.
TEST_F(Sensors, NumbersAreStoredAsGiven) {
    const std::string gaussian =
        Write("g.txt", "Exact\nexact values\nband,centre,fwhm,mark\n1,480.123456789,0.0000004,C\n");
    const std::string ratio =
        Write("r.txt", "Exact ratio\nexact values\nband,wl,ratio\n1,450,4e-7\n1,460,1e300\n");
    Importer(kResponseGaussian)->Import(*db_, gaussian);
    Importer(kResponseRatio)->Import(*db_, ratio);
    std::vector<double> stored;
    ResultSet rows = db_->Query(
        "select avg_wavelength, coalesce(fwhm, ratio) from sensor_element order by "
        "sensor_element_id");
    while (rows.Next()) {
        stored.push_back(std::strtod(rows.Text(0), nullptr));
        stored.push_back(std::strtod(rows.Text(1), nullptr));
    }
    EXPECT_EQ(stored, (std::vector<double>{480.123456789, 0.0000004, 450, 4e-7, 460, 1e300}));
}

TEST_F(Sensors, StoredResponseTypesChooseTheClass) {
    auto add = [&](int type, const char* name) {
        db_->Execute(
            Sql("insert into sensor (name, sensor_response_type_id) values ('%s', "
                "(select sensor_response_type_id from sensor_response_type where "
                "type = %i))",
                name, type));
        const int id = static_cast<int>(db_->InsertId());
        db_->Execute(
            Sql("insert into sensor_element (sensor_id, band_no, avg_wavelength, fwhm, "
                "calibrated, ratio) values (%i, 1, 500, 10, 1, 1), (%i, 2, 600, 10, 1, 1)",
                id, id));
        return id;
    };
    db_->Execute("insert into sensor_response_type (type, name) values (7, 'Unknown')");
    add(2, "centre sampling");
    const int unknown = add(7, "from the future");
    add(0, "gaussian");
    ProcessingSession session(scratch_.Connect(), nullptr);
    ASSERT_EQ(session.Sensors().size(), 2u);
    EXPECT_EQ(session.Sensors()[0]->ResponseType(), kResponseCentre);
    EXPECT_NE(dynamic_cast<const GaussianSensor*>(session.Sensors()[0].get()), nullptr);
    EXPECT_EQ(session.Sensors()[0]->ElementCount(), 2);
    EXPECT_EQ(session.Sensors()[1]->Name(), "gaussian");
    ASSERT_EQ(session.Warnings().size(), 1u);
    EXPECT_NE(session.Warnings()[0].find(std::to_string(unknown)), std::string::npos);
}

}  // namespace
}  // namespace orvane
