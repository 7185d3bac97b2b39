/* Identifiers of the property dialogs' resources and controls, shared by the resource
 * scripts and the dialog code. Plain macros: the resource compiler reads this file too. */
#ifndef IMVELA_PLATFORM_DIALOG_RESOURCES_H
#define IMVELA_PLATFORM_DIALOG_RESOURCES_H

/* Dialog templates: Japanese and English. */
#define IDD_CAMERA_JA         101
#define IDD_IMAGE_JA          102
#define IDD_FILTER_PAGE_JA    103
#define IDD_ANALOG_JA         104
#define IDD_ANALOG_PAGE_JA    105
#define IDD_CAMERA_EN         106
#define IDD_FILTER_PAGE_EN    107
#define IDD_IMAGE_EN          108
#define IDD_ANALOG_PAGE_EN    110
#define IDD_ANALOG_EN         111
#define IDD_GRAY_PAGE_EN      112
#define IDD_GRAY_PAGE_JA      113

/* Buttons of every container. */
#define IDC_DEFAULT           3
#define IDC_APPLY             1002
#define IDC_TAB               1001

/* Camera dialog. */
#define IDC_COLOR             1009
#define IDC_SIZE_LIST              1010
#define IDC_SUB_SAMPLE        1012
#define IDC_CLOCK             1014
#define IDC_TOTAL_H           1039
#define IDC_TOTAL_V           1040
#define IDC_EFFECTIVE_H       1041
#define IDC_EFFECTIVE_V       1042
#define IDC_START_H           1043
#define IDC_START_V           1044
#define IDC_WAIT_TIME         1045

/* Image filter and gray filter pages. */
#define IDC_BAYER_0           1030
#define IDC_BAYER_1           1031
#define IDC_BAYER_2           1032
#define IDC_BAYER_3           1033
#define IDC_ALL_FRAMES        1035
#define IDC_GRAY_BAYER        1046
#define IDC_GRAY_CONVERT      1047
#define IDC_GRAY_GRAYSCALE    1048
#define IDC_ONCE              2074

/* Analog gain page. */
#define IDC_GAIN_SLIDER       1013
#define IDC_GAIN_EDIT         1015
#define IDC_GAIN_SPIN         1038
#define IDC_G1_SLIDER         1018
#define IDC_G1_EDIT           1019
#define IDC_G1_SPIN           1039
#define IDC_R_SLIDER          1020
#define IDC_R_EDIT            1021
#define IDC_R_SPIN            1040
#define IDC_B_SLIDER          1022
#define IDC_B_EDIT            1023
#define IDC_B_SPIN            1041
#define IDC_G2_SLIDER         1024
#define IDC_G2_EDIT           1025
#define IDC_G2_SPIN           1042
#define IDC_EXPOSURE_SLIDER   1026
#define IDC_EXPOSURE_EDIT     1027
#define IDC_EXPOSURE_SPIN     1043
#define IDC_MIRROR_V          1028
#define IDC_MIRROR_H          1029
#define IDC_IRIS_GAIN         1036
#define IDC_IRIS_EXPOSURE     1037
#define IDC_EXPOSURE_TIME     1049

/* Strings; the Japanese string of each is IDS_JAPANESE higher. */
#define IDS_JAPANESE          100
#define IDS_COLOR_0           3000 /* ... IDS_COLOR_0 + 5 */
#define IDS_CLOCK_0           3010 /* ... IDS_CLOCK_0 + 2 */
#define IDS_CUSTOM            3020
#define IDS_STREAM_FORMAT     3021
#define IDS_TABLE_FULL        3022
#define IDS_TABLE_FULL_TITLE  3023
#define IDS_WINDOW_OUTSIDE    3024

#endif
