#include <gtest/gtest.h>

#include "conscom/exceptions.h"

TEST(Exceptions, EngineClassesDeriveFromHostBase) {
    try {
        throw qx::EBadRtfFormat("Template is not RTF file.");
    } catch (const qx::Exception& e) {
        EXPECT_STREQ(e.what(), "Template is not RTF file.");
    }
}
