#include <gtest/gtest.h>

#include <string>

#include "vortax.h"

namespace {

TEST(ErrorNameTest, EveryGroupGivesItsTexts) {
    const std::pair<int32_t, std::string> known[] = {
        {-100, "out of memory"},      {-103, "timeout"},          {-200, "connect timed out"},
        {-214, "ftp error"},          {-300, "pipe failed"},      {-308, "post failed"},
        {-400, "unsupported url scheme"}, {-401, "invalid url syntax"}, {-500, "open failed"},
        {-505, "no such device"},     {-507, "plugin module not found"}, {-512, "no such device"},
        {-513, "no such file"},       {-514, "input end"},        {-600, "invalid frame"},
        {-700, "library not found"},  {-701, "symbol not found"}, {-800, "no such environment variable"},
        {-801, "invalid environment variable type"},
    };
    for (const auto& [code, text] : known) EXPECT_EQ(error_name(code), text) << code;
}

TEST(ErrorNameTest, EveryNegativeCodeHasAText) {
    for (const auto& [first, last] : {std::pair{VORTAX_TIMEOUT, VORTAX_OUT_OF_MEMORY}, {VORTAX_NEED_MORE, VORTAX_OPEN_FAILED},
                                      {VORTAX_INVALID_FRAME, VORTAX_INVALID_FRAME}, {VORTAX_INVALID_VARIABLE_TYPE, VORTAX_NO_SUCH_VARIABLE}})
        for (int32_t code = first; code <= last; ++code) EXPECT_TRUE(*error_name(code) && error_name(code) != std::string("unknown error")) << code;
    for (const int32_t code : {-104, -215, -309, -402, -516, -599, -601, -702, -802, -99, -1, -900, INT32_MIN})
        EXPECT_STREQ(error_name(code), "unknown error") << code;
    for (const int32_t code : {0, 5}) EXPECT_STREQ(error_name(code), "") << code;
}

}  // namespace
