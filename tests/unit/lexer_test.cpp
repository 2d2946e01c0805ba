// The argument lexer: quoting, escapes, expansion, arithmetic arguments,
// where the position ends up, and the argument-string stack.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "language_test_util.h"

namespace {

class Lexer : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_language_state();
        ASSERT_EQ(set_variable("x", "a;b c"), 0);
        ASSERT_EQ(set_variable("ref", "${x} $x"), 0);
    }
    void TearDown() override { reset_language_state(); }
};

struct lex_case {
    const char *input;
    const char *expected;   // the argument, or null when next_arg must fail
    const char *rest;       // where the position ends up (success only)
    int error;              // code pending after a failure
    const char *text;       // its text ("" for none)
};

TEST_F(Lexer, ArgumentsAndPositions)
{
    const std::vector<lex_case> cases = {
        {"a\\ b", "a b", "", ERR_NONE, ""},
        {"a\\;b", "a;b", "", ERR_NONE, ""},
        {"\\$x", "$x", "", ERR_NONE, ""},
        {"\\q", "\\q", "", ERR_NONE, ""},
        {"a\\", "a\\", "", ERR_NONE, ""},
        {"\\e\\n\\t\\'\\\\", "\x1b\n\t'\\", "", ERR_NONE, ""},
        {"\"a\\\"b\"", "a\"b", "", ERR_NONE, ""},
        {"a\\\"b", "a\\\"b", "", ERR_NONE, ""},
        {"\"\\q\\$x\"", "\\q$x", "", ERR_NONE, ""},
        {"'it\\'s'", "it's", "", ERR_NONE, ""},
        {"'a\\b'", "a\\b", "", ERR_NONE, ""},
        {"'a;b $x \"c'd", "a;b $x \"c", "d", ERR_NONE, ""},
        {"'abc", nullptr, nullptr, ERR_PARSE, ""},
        {"\"a b\"c", "a b", "c", ERR_NONE, ""},
        {"\"a b", "a b", "", ERR_NONE, ""},
        {"(1 + 2) z", "3", " z", ERR_NONE, ""},
        {"\"(1 + 2)\"", "3", "\"", ERR_NONE, ""},
        {"((0 - 4) * 2)", "-8", "", ERR_NONE, ""},
        {"(1 + 2", nullptr, nullptr, ERR_ARITHMETIC, "missing arithmetic close parenthesis"},
        {"a\nb c", "a\nb", "c", ERR_NONE, ""},
        {"abc;def", "abc", "def", ERR_NONE, ""},
        {"abc\tdef", "abc", "def", ERR_NONE, ""},
        {"  \t abc  def", "abc", " def", ERR_NONE, ""},
        {"a'b(c d", "a'b(c", "d", ERR_NONE, ""},
        {"", "", "", ERR_NONE, ""},
        {"   ", "", "", ERR_NONE, ""},
        {"${x}", "a;b c", "", ERR_NONE, ""},
        {"<${x}>;z", "<a;b c>", "z", ERR_NONE, ""},
        {"${ref}", "${x} $x", "", ERR_NONE, ""},
        {"\"${x}\" z", "a;b c", " z", ERR_NONE, ""},
        {"$x", nullptr, nullptr, ERR_BAD_VARIABLE, ""},
        {"a${nosuch}b", nullptr, nullptr, ERR_BAD_VARIABLE, "variable ``nosuch'' not set"},
    };
    for (const lex_case &c : cases) {
        SCOPED_TRACE(std::string("input: ") + c.input);
        clear_error();
        const char *pos = c.input;
        const char *arg = next_arg(&pos);
        if (c.expected) {
            ASSERT_NE(arg, nullptr);
            EXPECT_EQ(std::string(arg), c.expected);
            EXPECT_EQ(std::string(pos), c.rest);
            EXPECT_EQ(error_code, ERR_NONE);
        } else {
            EXPECT_EQ(arg, nullptr);
            EXPECT_EQ(error_code, c.error);
            EXPECT_EQ(pending_text(), c.text);
        }
        arg_stack_release(0);
    }
}

TEST_F(Lexer, EveryArgumentIsOwnedByTheStackUntilReleased)
{
    const char *pos = "one two";
    int base = arg_stack_mark();
    const char *first = next_arg(&pos);
    const char *second = next_arg(&pos);
    const char *third = next_arg(&pos);   // end of string: the empty argument
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(arg_stack_mark(), base + 3);
    EXPECT_EQ(std::string(first), "one");
    EXPECT_EQ(std::string(second), "two");
    EXPECT_EQ(std::string(third), "");
    arg_stack_release(base + 1);
    EXPECT_EQ(arg_stack_mark(), base + 1);
    EXPECT_EQ(std::string(first), "one");
    arg_stack_release(base);
    EXPECT_EQ(arg_stack_mark(), base);
}

TEST_F(Lexer, FullStackRefusesTheNextArgumentWithoutMoving)
{
    for (int i = 0; i < MAX_COMMAND_CONTEXTS; ++i) {
        const char *pos = "w";
        ASSERT_NE(next_arg(&pos), nullptr) << "argument " << i;
    }
    const char *input = "more";
    const char *pos = input;
    EXPECT_EQ(next_arg(&pos), nullptr);
    EXPECT_EQ(pos, input);
    EXPECT_EQ(error_code, ERR_COMPILE_LIMIT);
    EXPECT_EQ(pending_text(), "compile-time limit exceeded: command contexts");
    EXPECT_EQ(arg_stack_mark(), MAX_COMMAND_CONTEXTS);

    char *extra = strdup("x");
    EXPECT_EQ(arg_stack_push(extra), -1);   // refused and freed
    arg_stack_release(0);
    EXPECT_EQ(arg_stack_mark(), 0);
}

// Arguments are bounded in length; the bound holds however the text was
// built (literal, quoted, expanded).
TEST_F(Lexer, ArgumentsLongerThanTheLimitFail)
{
    const std::string filler(MAX_ARGUMENT_LENGTH - 1, 'a');
    ASSERT_EQ(set_variable("long", filler.c_str()), 0);
    struct length_case {
        std::string input;
        size_t length;   // 0: must fail
    };
    const std::vector<length_case> cases = {
        {"${long}b", MAX_ARGUMENT_LENGTH},
        {"${long}bc", 0},
        {"'" + filler + "b'", MAX_ARGUMENT_LENGTH},
        {"\"" + filler + "bc\"", 0},
        {filler + "\\e\\e", 0},
    };
    for (const length_case &c : cases) {
        SCOPED_TRACE(c.input.substr(c.input.size() - 6));
        clear_error();
        const char *pos = c.input.c_str();
        const char *arg = next_arg(&pos);
        if (c.length) {
            ASSERT_NE(arg, nullptr);
            EXPECT_EQ(strlen(arg), c.length);
        } else {
            EXPECT_EQ(arg, nullptr);
            EXPECT_EQ(error_code, ERR_COMPILE_LIMIT);
            EXPECT_EQ(error_text, nullptr);
            EXPECT_EQ(pos, c.input.c_str());
        }
        arg_stack_release(0);
    }
}

}  // namespace
