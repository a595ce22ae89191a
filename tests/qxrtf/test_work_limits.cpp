// The limits on work and memory a run may take even when it writes nothing:
// evaluation steps, the size of one value, and of all variables together.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "conscom/exceptions.h"
#include "qxrtf/engine_fixture.h"

using namespace qx;

namespace {

class WorkLimits : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        report.CreateVar("I", 0.0);
        report.CreateVar("S", std::string("x"));
        report.CreateVar("T", std::string());
    }
    // The error text and field of rendering `body`, or "" when it renders.
    std::string Error(const std::string& body, std::string* field = nullptr) {
        try {
            Render(body);
        } catch (const EIllegalFunctionUse& e) {
            EXPECT_FALSE(report.ExecuteSuccessful());
            if (field != nullptr && e.Pos()) *field = e.Pos()->fieldText;
            return e.what();
        }
        return "";
    }
};

TEST_F(WorkLimits, OffByDefault) {
    EXPECT_EQ(report.MaxEvaluationSteps(), 0);
    EXPECT_EQ(report.MaxValueSize(), 0);
    EXPECT_EQ(report.MaxVariablesSize(), 0);
    EXPECT_EQ(Error("\\\\SCAN(),WHILE(I<20)\\\\\\\\I := I + 1\\\\\\\\S := S + S\\\\\\\\ENDSCAN\\\\"), "");
}

TEST_F(WorkLimits, EachLimitEndsTheRunNamingItAndTheField) {
    // A loop that doubles a text and writes nothing: the output and
    // repetition limits never see it.
    const std::string doubling =
        "\\\\SCAN(),WHILE(I<40)\\\\\\\\I := I + 1\\\\\\\\S := S + S\\\\\\\\ENDSCAN\\\\";
    struct Case {
        const char* name;
        std::int64_t steps, value, variables;
        std::string body;
        std::string message;
        std::string field;
    };
    const Case cases[] = {
        {"steps", 100, 0, 0, doubling,
         "Report evaluation took more than the 100 steps a run may take (MaxEvaluationSteps)",
         "S := S + S"},
        {"value", 0, 1000, 0, doubling,
         "Value of 1024 bytes is larger than the 1000 bytes a value may have (MaxValueSize)",
         "S := S + S"},
        {"variables", 0, 0, 3000, doubling,
         "Report variables of 4102 bytes together, setting S, are more than the 3000 bytes they "
         "may hold (MaxVariablesSize)",
         "S := S + S"},
        // A variable set to a long value from elsewhere than an expression.
        {"value of a variable", 0, 5, 0, "\\\\SET(T, 'abcdef')\\\\",
         "Report variable T of 6 bytes is larger than the 5 bytes a value may have (MaxValueSize)",
         "SET(T, 'abcdef')"},
        // Within every limit: the run succeeds.
        {"within", 1000, 4096, 10000, doubling.substr(0, doubling.find("40")) + "10" +
                                           doubling.substr(doubling.find("40") + 2),
         "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        report.VarByName("I").SetAsFloat(0);
        report.VarByName("S").SetAsString("x");
        report.VarByName("T").SetAsString("");
        report.SetMaxEvaluationSteps(c.steps);
        report.SetMaxValueSize(c.value);
        report.SetMaxVariablesSize(c.variables);
        std::string field;
        EXPECT_EQ(Error(c.body, &field), c.message);
        EXPECT_EQ(field, c.field);
    }
}

TEST_F(WorkLimits, StepsCountTheWholeRun) {
    // An inner loop inside an endless outer one: the count does not start
    // again with each outer pass.
    report.SetMaxEvaluationSteps(100000);
    EXPECT_EQ(Error("\\\\SCAN(),WHILE(1=1)\\\\\\\\I := 0\\\\\\\\SCAN(),WHILE(I<900)\\\\"
                    "\\\\I := I + 1\\\\\\\\ENDSCAN\\\\\\\\ENDSCAN\\\\"),
              "Report evaluation took more than the 100000 steps a run may take "
              "(MaxEvaluationSteps)");
    // A second run starts from 0.
    report.SetMaxEvaluationSteps(1000);
    report.VarByName("I").SetAsFloat(0);
    EXPECT_EQ(Error("\\\\SCAN(),WHILE(I<100)\\\\\\\\I := I + 1\\\\\\\\ENDSCAN\\\\"), "");
    EXPECT_EQ(Error("\\\\SCAN(),WHILE(I<200)\\\\\\\\I := I + 1\\\\\\\\ENDSCAN\\\\"), "");
}

TEST_F(WorkLimits, SettingsMayOnlyTighten) {
    report.SetMaxEvaluationSteps(1000);
    report.SetMaxValueSize(0);
    report.SetMaxVariablesSize(500);
    nlohmann::json doc;
    report.SaveSettings(doc);
    EXPECT_EQ(doc["MaxEvaluationSteps"], 1000);
    doc["MaxEvaluationSteps"] = 5000;
    doc["MaxValueSize"] = 100;
    doc["MaxVariablesSize"] = 0;
    report.LoadSettings(doc);
    EXPECT_EQ(report.MaxEvaluationSteps(), 1000);
    EXPECT_EQ(report.MaxValueSize(), 100);
    EXPECT_EQ(report.MaxVariablesSize(), 500);
}

}  // namespace
