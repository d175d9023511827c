// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding a stored block of the wrong length, without a database.
#include "store/array_codec.h"

#include <gtest/gtest.h>

#include <string>

#include "base/matrix.h"
#include "support/refusal.h"

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

}  // namespace
}  // namespace orvane
