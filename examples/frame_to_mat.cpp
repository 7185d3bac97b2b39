// Streams five frames of 24-bit colour and looks at each through a cv::Mat that wraps the
// delivered buffer (the frame record's), without copying a pixel.
#include <cstdio>
#include <vector>

#include <opencv2/core.hpp>

#include "ImvelaSdk.h"

int main() {
    HWND queue = ImvelaMsg_CreateQueue();
    const int32_t camera = Imvela_Initialize(queue);
    if (!camera || !Imvela_SetDeviceNumber(camera, 0) || !Imvela_SetColorMode(camera, 24)) {
        std::fprintf(stderr, "no camera: error %d\n", Imvela_GetLastError(camera));
        return 1;
    }
    Imvela_SetPreviewWindow(camera, nullptr, 0, 0, 0, 0);
    const int32_t stride = (Imvela_Width(camera) * 3 + 3) & ~3;
    std::vector<uint8_t> buffer(static_cast<size_t>(stride) * Imvela_Height(camera));
    int frames = 0;
    if (Imvela_CallBackPreview(camera, queue, buffer.data(), static_cast<int32_t>(buffer.size()), 1)) {
        ImvelaMsg m;
        while (frames < 5 && ImvelaMsg_Get(queue, 5000, &m)) {
            if (m.message != WM_CAMERA_FRAME || !m.wParam) continue;
            const auto* record = reinterpret_cast<const ImvelaFrameRecord*>(m.wParam);
            const cv::Mat image(record->height, record->width, CV_8UC3, record->buffer, static_cast<size_t>(stride));
            if (image.data != buffer.data()) break;  // a view, not a copy
            const cv::Scalar mean = cv::mean(image);
            std::printf("frame %d: %d x %d, mean B %.1f G %.1f R %.1f\n", ++frames, image.cols, image.rows,
                        mean[0], mean[1], mean[2]);
        }
        Imvela_StopPreview(camera);
    }
    Imvela_Release(camera);
    ImvelaMsg_DestroyQueue(queue);
    return frames == 5 ? 0 : 1;
}
