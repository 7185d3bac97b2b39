// The pipeline self-check fails, naming the case, when one output differs from its digest.
#include <gtest/gtest.h>

#include <string>

#include "camera/pipeline_self_check.h"
#include "imaging/kernel_variant.h"

TEST(PipelineSelfCheck, AWrongOutputFailsItsCaseOnEveryVariantAndThreadCount) {
    std::string passing;
    ASSERT_EQ(imvela::check_pipeline(passing), 0) << passing;
    imvela::expect_wrong_pipeline_digest(5);  // 24-bit colour, adjusted
    std::string report;
    const int32_t failures = imvela::check_pipeline(report);
    imvela::expect_wrong_pipeline_digest(-1);
    int32_t runs = 0;
    for (int32_t v = 0; v < imvela::kernel_variant_count(); ++v) runs += imvela::kernel_variant_supported(v);
    EXPECT_GE(failures, runs);  // once per variant and thread count
    EXPECT_NE(report.find("24-bit colour adjusted: digest"), std::string::npos) << report;
    EXPECT_NE(report.find("11 of 12 outputs as built  FAIL"), std::string::npos) << report;
    EXPECT_EQ(imvela::active_kernel_variant_index(), imvela::newest_kernel_variant());
}
