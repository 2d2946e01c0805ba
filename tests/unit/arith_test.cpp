// Numeric arguments: literals, quoted and expanded numbers, and the
// parenthesised arithmetic with its error texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "language_test_util.h"

namespace {

class Arithmetic : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_language_state();
        ASSERT_EQ(set_variable("mixed", "12abc"), 0);
        ASSERT_EQ(set_variable("empty", ""), 0);
        ASSERT_EQ(set_variable("neg", "-5"), 0);
        ASSERT_EQ(set_variable("big", "9223372036854775807"), 0);
    }
    void TearDown() override { reset_language_state(); }
};

const int64_t most_negative = INT64_MIN;
const int64_t most_positive = INT64_MAX;

struct number_case {
    const char *input;
    int64_t value;
    const char *rest;
};

TEST_F(Arithmetic, Values)
{
    const std::vector<number_case> cases = {
        {"5abc", 5, "abc"},
        {"  42 x", 42, " x"},
        {"(5)", 5, ""},
        {"( 5 )", 5, ""},
        {"(2 * (3 + 4))", 14, ""},
        {"((0 - 7) / 2)", -3, ""},
        {"(7 / (0 - 2))", -3, ""},
        {"(7 / 0)", 1, ""},
        {"(3 && 0)", 0, ""},
        {"(3 && 2)", 1, ""},
        {"(0 || 7)", 1, ""},
        {"(0 || 0)", 0, ""},
        {"(4 != 4)", 0, ""},
        {"(4 !=5)", 1, ""},
        {"(4 == 4)", 1, ""},
        {"(3==4)", 0, ""},
        {"${mixed}", 12, ""},
        {"'12abc'", 12, ""},
        {"'abc'", 0, ""},
        {"' -3x'", -3, ""},
        {"\"(1 + 2)\"", 3, "\""},
        {"'(1 + 2)'", 0, ""},
        {"(${big} + 1)", most_negative, ""},
        {"(4294967296 * 4294967296)", 0, ""},
        {"((0 - ${big}) - 2)", most_positive, ""},
        {"(((0 - ${big}) - 1) / (0 - 1))", most_negative, ""},
        {"((0 - ${big}) - 1)", most_negative, ""},
        // Literals beyond the 64-bit range saturate.
        {"99999999999999999999", most_positive, ""},
        {"(99999999999999999999 + 1)", most_negative, ""},
        {"'-99999999999999999999'", most_negative, ""},
        {"${big}0", most_positive, "0"},
    };
    for (const number_case &c : cases) {
        SCOPED_TRACE(std::string("input: ") + c.input);
        clear_error();
        const char *pos = c.input;
        int64_t value = -12345;
        ASSERT_EQ(get_number(&value, &pos), 0) << pending_text();
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(std::string(pos), c.rest);
        arg_stack_release(0);
    }
}

struct failure_case {
    const char *input;
    int code;
    const char *text;
};

TEST_F(Arithmetic, Failures)
{
    const std::vector<failure_case> cases = {
        {"-5", ERR_ARITHMETIC, "non-number found, number expected, before parsing ``-5''"},
        {"(-5 + 1)", ERR_ARITHMETIC,
         "non-number found, number expected, before parsing ``-5 + 1)''"},
        {"", ERR_ARITHMETIC, "non-number found, number expected, before parsing ``''"},
        {"x1", ERR_ARITHMETIC, "non-number found, number expected, before parsing ``x1''"},
        {"(1 2)", ERR_ARITHMETIC, "non-number found, number expected, before parsing ``)''"},
        {"(1 = 1)", ERR_ARITHMETIC, "bad arithmetic operator: ``=''"},
        {"(1 & 1)", ERR_ARITHMETIC, "bad arithmetic operator: ``&''"},
        {"(1 ! 1)", ERR_ARITHMETIC, "bad arithmetic operator: ``!''"},
        {"(6 % 4)", ERR_ARITHMETIC, "bad arithmetic operator: ``%''"},
        {"(1 + 2 3)", ERR_ARITHMETIC, "missing arithmetic close parenthesis"},
        {"(5", ERR_ARITHMETIC, "missing arithmetic close parenthesis"},
        {"(5   ", ERR_ARITHMETIC, "missing arithmetic close parenthesis"},
        {"(5 +", ERR_ARITHMETIC, "non-number found, number expected, before parsing ``''"},
        {"(5 + 1", ERR_ARITHMETIC, "missing arithmetic close parenthesis"},
        {"${empty}", ERR_ARITHMETIC,
         "non-number found (``'') after expanding variable at ``${empty}''"},
        {"(1 + ${neg})", ERR_ARITHMETIC,
         "non-number found (``-5'') after expanding variable at ``${neg})''"},
        {"${none}", ERR_BAD_VARIABLE, "variable ``none'' not set"},
        {"$none", ERR_BAD_VARIABLE, ""},
        {"'12", ERR_PARSE, ""},
    };
    for (const failure_case &c : cases) {
        SCOPED_TRACE(std::string("input: ") + c.input);
        clear_error();
        const char *pos = c.input;
        int64_t value = 0;
        EXPECT_EQ(get_number(&value, &pos), -1);
        EXPECT_EQ(error_code, c.code);
        EXPECT_EQ(pending_text(), c.text);
        EXPECT_EQ(pos, c.input);
        arg_stack_release(0);
    }
}

// Groups nest by recursion; the depth is bounded so that no input can run
// the native stack out, and the bound is generous for real expressions.
TEST_F(Arithmetic, NestingIsBounded)
{
    struct depth_case {
        int depth;
        bool accepted;
    };
    for (depth_case c : {depth_case{MAX_COMMAND_CONTEXTS, true},
                         depth_case{MAX_COMMAND_CONTEXTS + 1, false},
                         depth_case{100000, false}}) {
        SCOPED_TRACE(c.depth);
        std::string text(static_cast<size_t>(c.depth), '(');
        text += "1";
        text += std::string(static_cast<size_t>(c.depth), ')');
        clear_error();
        const char *pos = text.c_str();
        int64_t value = 0;
        if (c.accepted) {
            ASSERT_EQ(get_number(&value, &pos), 0);
            EXPECT_EQ(value, 1);
            EXPECT_EQ(*pos, '\0');
        } else {
            EXPECT_EQ(get_number(&value, &pos), -1);
            EXPECT_EQ(error_code, ERR_COMPILE_LIMIT);
        }
    }
    // The bound is per nesting, not per use: a flat run of groups is fine.
    clear_error();
    const char *pos = "((1 + 1) + (1 + 1))";
    int64_t value = 0;
    ASSERT_EQ(get_number(&value, &pos), 0);
    EXPECT_EQ(value, 4);
}

}  // namespace
