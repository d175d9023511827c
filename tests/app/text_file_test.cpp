#include <gtest/gtest.h>
#include "app/text_file.h"
TEST(Placeholder, Builds) { SUCCEED(); }
