// No property dialogs off Windows: each export records and posts "not supported".
#include <gtest/gtest.h>

#include "api/camera_fixture.h"

namespace {

using DialogsUnsupported = CameraTest;

TEST_F(DialogsUnsupported, EveryDialogAnswersNotSupported) {
    for (auto dialog : {Imvela_SetCameraDlg, Imvela_SetImageDlg, Imvela_SetAnalogDlg}) {
        EXPECT_EQ(dialog(handle, nullptr), 0);
        EXPECT_EQ(errors(), (Codes{ERR_NOT_SUPPORTED}));
        EXPECT_EQ(posted(), (Posted{ERR_NOT_SUPPORTED}));
    }
}

}  // namespace
