// The filter-value identifiers through the exports: ranges, packing, device effects and
// read-backs, and the named exports.
#include <climits>

#include "camera_fixture.h"

namespace {

using FilterValues = CameraTest;

struct Range {
    int32_t identifier, minimum, maximum;
};

// Every range-tested identifier that is only stored.
const Range kStoredRanges[] = {
    {1, -255, 255}, {2, -127, 127}, {3, -360, 360}, {4, -255, 255}, {5, 0, 30},    {7, 0, 400},
    {8, 0, 400},    {9, 0, 400},    {11, 0, 200},   {12, 0, 3},     {19, 0, 2},    {20, 0, 255},
    {21, 0, 255},   {22, 0, 255},   {23, 0, 255},   {24, -255, 255}, {25, -255, 255}, {26, -255, 255},
    {27, -255, 255}, {28, 0, 1},
};

int32_t get(int32_t handle, int32_t identifier, int32_t* ok_out = nullptr) {
    int32_t ok = -1;
    const int32_t v = Imvela_GetFilterValue(handle, identifier, &ok);
    if (ok_out) *ok_out = ok;
    return v;
}

TEST_F(FilterValues, StoredIdentifiersAcceptTheirRangeAndRefuseBeyondIt) {
    for (const Range& r : kStoredRanges) {
        SCOPED_TRACE(r.identifier);
        for (int32_t v : {r.minimum, r.maximum}) {
            EXPECT_EQ(Imvela_SetFilterValue(handle, r.identifier, v), 1);
            int32_t ok = 0;
            EXPECT_EQ(get(handle, r.identifier, &ok), v);
            EXPECT_EQ(ok, 1);
        }
        for (int32_t v : {r.minimum - 1, r.maximum + 1, INT_MIN, INT_MAX}) {
            EXPECT_EQ(Imvela_SetFilterValue(handle, r.identifier, v), 0);
            EXPECT_EQ(errors(), Codes{ERR_ARGUMENT});
            EXPECT_EQ(get(handle, r.identifier), r.maximum);  // the old value stays
        }
    }
    EXPECT_EQ(posted().size(), 4u * (sizeof kStoredRanges / sizeof kStoredRanges[0]));
}

TEST_F(FilterValues, PackedColourGainsSpreadOverTheThreeGains) {
    EXPECT_EQ(Imvela_SetFilterValue(handle, 6, 0x00FF8040), 1);
    EXPECT_EQ(get(handle, 7), 0x40);
    EXPECT_EQ(get(handle, 8), 0x80);
    EXPECT_EQ(get(handle, 9), 0xFF);
    EXPECT_EQ(get(handle, 6), 0x00FF8040);
    // Any value is accepted; the top byte is not kept.
    EXPECT_EQ(Imvela_SetFilterValue(handle, 6, -1), 1);
    EXPECT_EQ(get(handle, 6), 0x00FFFFFF);
    // Gains above a byte read back cut to their low byte.
    EXPECT_EQ(Imvela_SetFilterValue(handle, 7, 300), 1);
    EXPECT_EQ(get(handle, 7), 300);
    EXPECT_EQ(get(handle, 6), 0x00FFFF00 | (300 & 0xFF));
    EXPECT_TRUE(errors().empty());
}

TEST_F(FilterValues, AutomaticColourGainRequestIsAFlag) {
    for (int32_t v : {5, -7, INT_MIN, 1}) {
        EXPECT_EQ(Imvela_SetFilterValue(handle, 10, v), 1);
        EXPECT_EQ(get(handle, 10), 1) << v;
    }
    EXPECT_EQ(Imvela_SetFilterValue(handle, 10, 0), 1);
    EXPECT_EQ(get(handle, 10), 0);
}

TEST_F(FilterValues, ColourGainsOfTheAnalogBlockAcceptOnlyZero) {
    for (int32_t id = 14; id <= 17; ++id) {
        EXPECT_EQ(Imvela_SetFilterValue(handle, id, 0), 1) << id;
        EXPECT_EQ(Imvela_SetFilterValue(handle, id, 1), 0) << id;
        EXPECT_EQ(Imvela_SetFilterValue(handle, id, -1), 0) << id;
        EXPECT_EQ(errors(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT})) << id;
        int32_t ok = 0;
        EXPECT_EQ(get(handle, id, &ok), 0) << id;
        EXPECT_EQ(ok, 1);
    }
    // Still 0 after the global gain set them all.
    ASSERT_EQ(Imvela_SetFilterValue(handle, 13, 7), 1);
    for (int32_t id = 14; id <= 17; ++id) EXPECT_EQ(get(handle, id), 0) << id;
}

// The gain codes themselves are the device's (SensorControlsTest).
TEST_F(FilterValues, GlobalGainProgramsTheSensorAndReadsItBack) {
    ASSERT_EQ(Imvela_SetGlobalGain(handle, 11), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x23), 0x3D3D);
    EXPECT_EQ(get(handle, 13), 11);
    for (int32_t v : {12, -1, 256}) EXPECT_EQ(Imvela_SetGlobalGain(handle, v), 0) << v;
    EXPECT_EQ(errors(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT, ERR_ARGUMENT}));
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x23), 0x3D3D);
    // The read-back is the sensor's: a register written behind the camera's back shows.
    ASSERT_EQ(Imvela_WriteRegister(handle, 0x23, 0x1515), 1);
    EXPECT_EQ(get(handle, 13), 3);
}

// The blanking that follows the exposure is the device's (SensorControlsTest).
TEST_F(FilterValues, ExposureProgramsTheSensorAndReadsItBack) {
    EXPECT_EQ(Imvela_SetExposureTime(handle, 0), 0);
    EXPECT_EQ(Imvela_SetExposureTime(handle, 32768), 0);
    EXPECT_EQ(errors(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT}));
    EXPECT_EQ(Imvela_SetExposureTime(handle, 32767), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x0F), 32767);
    EXPECT_EQ(Imvela_SetExposureTime(handle, 1), 1);
    EXPECT_EQ(ImvelaEmu_ReadRegister(0, 0x0F), 1);
    ASSERT_EQ(Imvela_WriteRegister(handle, 0x0F, 999), 1);
    int32_t ok = 0;
    EXPECT_EQ(Imvela_GetExposureTime(handle, &ok), 999);
    EXPECT_EQ(ok, 1);
}

TEST_F(FilterValues, UnknownIdentifiersFailWithArgumentError) {
    for (int32_t id : {0, 29, -1, 1000, INT_MIN}) {
        EXPECT_EQ(Imvela_SetFilterValue(handle, id, 0), 0) << id;
        int32_t ok = 1;
        EXPECT_EQ(get(handle, id, &ok), 0) << id;
        EXPECT_EQ(ok, 0) << id;
        EXPECT_EQ(errors(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT})) << id;
    }
    EXPECT_EQ(Imvela_GetFilterValue(handle, 29, nullptr), 0);
    EXPECT_EQ(Imvela_GetFilterValue(handle, 1, nullptr), 0);
    EXPECT_EQ(errors(), Codes{ERR_ARGUMENT});
}

TEST_F(FilterValues, SensorReadBackThatFailsIsAFailure) {
    ASSERT_EQ(Imvela_SetGlobalGain(handle, 4), 1);
    ScopedEnvironment unplugged("IMVELA_EMULATOR", "none");
    enumerate();
    for (int32_t id : {13, 18}) {
        int32_t ok = 1;
        EXPECT_EQ(get(handle, id, &ok), 0) << id;
        EXPECT_EQ(ok, 0) << id;
        EXPECT_EQ(errors(), Codes{ERR_DEVICE_IO}) << id;
    }
    // Stored values need no device request.
    EXPECT_EQ(get(handle, 12), 3);
}

struct Named {
    int32_t identifier;
    int32_t (*set)(int32_t, int32_t);
    int32_t (*get)(int32_t, int32_t*);
    int32_t value;  // a valid value other than the default
};

const Named kNamed[] = {
    {1, Imvela_SetBrightness, Imvela_GetBrightness, -17},
    {2, Imvela_SetContrast, Imvela_GetContrast, 33},
    {3, Imvela_SetHue, Imvela_GetHue, -300},
    {4, Imvela_SetSaturation, Imvela_GetSaturation, 99},
    {5, Imvela_SetSharpness, Imvela_GetSharpness, 29},
    {6, Imvela_SetBayerGainRGB, Imvela_GetBayerGainRGB, 0x00102030},
    {7, Imvela_SetBayerGainRed, Imvela_GetBayerGainRed, 51},
    {8, Imvela_SetBayerGainGreen, Imvela_GetBayerGainGreen, 52},
    {9, Imvela_SetBayerGainBlue, Imvela_GetBayerGainBlue, 53},
    {10, Imvela_SetBayerGainAuto, Imvela_GetBayerGainAuto, 1},
    {11, Imvela_SetGamma, Imvela_GetGamma, 150},
    {12, Imvela_SetBayerMode, Imvela_GetBayerMode, 1},
    {13, Imvela_SetGlobalGain, Imvela_GetGlobalGain, 9},
    {14, Imvela_SetColorGainRed, Imvela_GetColorGainRed, 0},
    {15, Imvela_SetColorGainGreen1, Imvela_GetColorGainGreen1, 0},
    {16, Imvela_SetColorGainGreen2, Imvela_GetColorGainGreen2, 0},
    {17, Imvela_SetColorGainBlue, Imvela_GetColorGainBlue, 0},
    {18, Imvela_SetExposureTime, Imvela_GetExposureTime, 1234},
    {19, Imvela_SetGrayMode, Imvela_GetGrayMode, 2},
    {20, Imvela_SetGrayGainR, Imvela_GetGrayGainR, 1},
    {21, Imvela_SetGrayGainG1, Imvela_GetGrayGainG1, 2},
    {22, Imvela_SetGrayGainG2, Imvela_GetGrayGainG2, 3},
    {23, Imvela_SetGrayGainB, Imvela_GetGrayGainB, 4},
    {24, Imvela_SetGrayOffsetR, Imvela_GetGrayOffsetR, -5},
    {25, Imvela_SetGrayOffsetG1, Imvela_GetGrayOffsetG1, -6},
    {26, Imvela_SetGrayOffsetG2, Imvela_GetGrayOffsetG2, -7},
    {27, Imvela_SetGrayOffsetB, Imvela_GetGrayOffsetB, -8},
};

TEST_F(FilterValues, NamedExportsAreThePairWithTheirIdentifier) {
    for (const Named& n : kNamed) {
        SCOPED_TRACE(n.identifier);
        EXPECT_EQ(n.set(handle, n.value), 1);
        EXPECT_EQ(get(handle, n.identifier), n.value);
        int32_t ok = 0;
        EXPECT_EQ(n.get(handle, &ok), n.value);
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(n.get(handle, nullptr), n.value);
        // A refused value is refused the same way.
        EXPECT_EQ(n.set(handle, n.identifier == 6 || n.identifier == 10 ? INT_MIN + 1 : 100000),
                  Imvela_SetFilterValue(handle, n.identifier, n.identifier == 6 || n.identifier == 10 ? INT_MIN + 1 : 100000));
    }
}

TEST_F(CameraWithoutDevice, FilterValuesNeedTheDevice) {
    EXPECT_EQ(Imvela_GetLastError(handle), ERR_BUFFER);  // initialisation failed
    EXPECT_EQ(Imvela_SetFilterValue(handle, 1, 0), 0);
    int32_t ok = 1;
    EXPECT_EQ(Imvela_GetFilterValue(handle, 1, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Imvela_SetBrightness(handle, 0), 0);
    EXPECT_EQ(Imvela_SetFilterValue(handle, 99, 0), 0);  // no device comes before the identifier
    EXPECT_EQ(errors(), (Codes{ERR_NOT_READY, ERR_NOT_READY, ERR_NOT_READY, ERR_NOT_READY}));
}

}  // namespace
