// SPDX-License-Identifier: GPL-3.0-or-later
// What the store refuses without asking a server: a stored block of the wrong length, a new name
// that could not be told from an id, a client certificate without its key.
#include <gtest/gtest.h>

#include <string>

#include "base/matrix.h"
#include "base/orvane_error.h"
#include "store/array_codec.h"
#include "store/database.h"
#include "store/name_lookup.h"
#include "support/refusal.h"
#include "support/scratch_database.h"

namespace orvane {
namespace {

TEST(ArrayCodecLength, DecodeRejectsABlockOfTheWrongLength) {
    Matrix m(3, 3);
    EXPECT_NO_THROW(DecodeMatrix(std::string(72, '\0'), m, "covariance of species 4"));
    for (const size_t bytes : {64, 80, 0, 71}) {
        m = 7.0;
        const std::string block(bytes, '\0');
        const auto decode = [&] { DecodeMatrix(block, m, "covariance of species 4"); };
        for (const std::string& part : {std::string("covariance of species 4"),
                                        std::to_string(bytes) + " bytes", std::string("72")})
            EXPECT_TRUE(test::Refuses(decode, part));
        EXPECT_EQ(m(1, 3), 7.0) << "the destination was changed";
    }
}

// Every new name and rename passes this check, so none can later be read as an id or fail in
// the server with an error about a column.
TEST(NewNames, ThoseThatReadAsIdsOrAreNotUtf8AreRefused) {
    const struct {
        std::string name;
        const char* says;  // nullptr: accepted
    } cases[] = {
        {"Field 2024", nullptr},
        {"5a", nullptr},
        {"A 5", nullptr},
        {"1e3", nullptr},
        {"-5", nullptr},
        {"ID:5", nullptr},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", nullptr},
        {"5", "The %s name \"5\" is made of digits only"},
        {"0042", "made of digits only"},
        {" 12\t", "made of digits only"},
        {"12345678901234567890", "made of digits only"},
        {"id:5", "begins with \"id:\""},
        {"name:x", "begins with \"name:\""},
        {"bad\xFF\xFE", "The %s name \"bad\\xff\\xfe\" is not valid UTF-8"},
        {"\xC3", "\"\\xc3\" is not valid UTF-8"},                      // cut short
        {"a\xC3\x28", "not valid UTF-8"},                              // bad continuation
        {"\xC0\xAF", "\"\\xc0\\xaf\" is not valid UTF-8"},             // overlong "/"
        {"\xE0\x80\xAF", "not valid UTF-8"},                           // overlong, 3 bytes
        {"\xED\xA0\x80", "\"\\xed\\xa0\\x80\" is not valid UTF-8"},   // a surrogate
        {"\xF4\x90\x80\x80", "not valid UTF-8"},                       // beyond U+10FFFF
        {"\xF8\x88\x80\x80\x80", "not valid UTF-8"},                   // five bytes
        {"\x80", "not valid UTF-8"},                                   // stray continuation
    };
    for (const NamedTable* t : {&kStudyNames, &kSensorNames, &kFeatureSpaceNames}) {
        for (const auto& c : cases) {
            const std::string message = test::RefusalMessage([&] { CheckNewName(*t, c.name); });
            EXPECT_EQ(message.empty(), c.says == nullptr) << t->table << " " << c.name << message;
            if (c.says) {
                EXPECT_TRUE(test::Contains(message, Sql(c.says, t->what))) << message;
            }
        }
    }
}

// A client certificate without its key (or the key without its certificate) is refused before
// any server is asked, naming what is missing.
TEST(Database, AClientCertificateNeedsItsKey) {
    ConnectionParams params;
    params.host = "127.0.0.1";
    params.port = 9;
    params.ssl_cert = "client.pem";
    EXPECT_TRUE(test::Refuses([&] { Database db(params); }, "ssl_cert without ssl_key"));
    params.ssl_cert.clear();
    params.ssl_key = "client.key";
    EXPECT_TRUE(test::Refuses([&] { Database db(params); }, "ssl_key without ssl_cert"));
}

}  // namespace
}  // namespace orvane
