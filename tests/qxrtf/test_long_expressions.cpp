// Fields holding long operator chains, as deep as calls may nest, many of
// them in one template. Each field once cost time in the square of its
// length to compile (its nested calls were written out as text and split
// again level by level); 200 such fields took minutes. The results show
// that every chain is compiled and evaluated whole.
#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "qxrtf/engine_fixture.h"

using namespace qx;

namespace {

constexpr int kFields = 200;

// `first`, then `n` times `each`.
std::string Chain(const std::string& first, const std::string& each, int n) {
    std::string text = first;
    for (int i = 0; i < n; ++i) text += each;
    return text;
}

std::string Repeat(const std::string& text, int n) {
    return Chain("", text, n);
}

class LongExpressions : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        report.CreateVar("A", 1.0);
        report.CreateVar("B", 2.0);
    }
};

}  // namespace

TEST_F(LongExpressions, ManyFieldsOfLongChainsCompileWhole) {
    struct Case {
        const char* name;
        std::string field;  // typed between the backslashes
        std::string value;  // what each field writes
    };
    const std::string sum999 = Chain("A", "+A", 999);
    const Case cases[] = {
        {"a sum of 999 operators", sum999, "1000"},
        {"sums and products", Chain("A", "+B*B", 499), "1997"},
        {"differences in brackets", Chain("B", "-(A-B)", 499), "501"},
        {"signs and comparisons", Chain("-A", "+-A", 499) + " < 0", "True"},
        {"a chain as an argument", "IIF(A = 1, " + sum999 + ", 0)", "1000"},
        {"a chain in a condition", "IIF(" + Chain("A", "+A", 998) + " = 999, \"yes\", \"no\")",
         "yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string body = Repeat("\\\\" + c.field + "\\\\;", kFields);
        EXPECT_EQ(Render(body), Repeat(c.value + ";", kFields));
    }
}

TEST_F(LongExpressions, AChainInAnIfConditionDecidesEveryBlock) {
    // The IF and the comparison are two of the 1000 calls a field may nest.
    const std::string sum = Chain("A", "+A", 998);
    const std::string body =
        Repeat("\\\\IF(" + sum + " = 999)\\\\in\\\\ELSE\\\\out\\\\ENDIF\\\\;", kFields);
    EXPECT_EQ(Render(body), Repeat("in;", kFields));
}

TEST_F(LongExpressions, CallsNestDeeperThanAllowedAreRefused) {
    struct Case {
        std::string field;
        std::string error;  // empty: it renders
    };
    const Case cases[] = {
        {Chain("A", "+A", 1000), ""},
        {Chain("A", "+A", 1001), "Expression nested deeper than 1000 calls: SYS_ADD"},
        {"IIF(A = 1, " + Chain("A", "*A", 1001) + ", 0)",
         "Expression nested deeper than 1000 calls: SYS_MULT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field.substr(0, 20));
        try {
            Render("\\\\" + c.field + "\\\\");
            EXPECT_EQ(c.error, "");
        } catch (const EIllegalFunctionUse& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        }
    }
}
