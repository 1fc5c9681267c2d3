#pragma once

#include "export/ExportResult.h"
#include "render/PlanRenderer.h"

#include <QSize>

#include <cstdint>
#include <functional>
#include <string>

class CPlan;

enum class VideoFormat { Mp4, Gif };

struct VideoOptions {
    std::string path;
    uint32_t fromMs = 0;  // plan time of the first frame
    uint32_t toMs = 0;    // plan time at or after the last frame
    int fps = 25;
    QSize size{1280, 720};
    VideoFormat format = VideoFormat::Mp4;
    std::string ffmpeg = "ffmpeg";  // the encoder program (found on PATH when not a path)
    PlanRenderOptions render;       // run mode, routes hidden unless set
    bool caption = true;            // the plan time in the bottom-left corner
};

// MP4 for any name but *.gif.
VideoFormat VideoFormatForPath(const std::string& path);
// Frames in [fromMs, toMs] at `fps`: frame k shows plan time fromMs + k * 1000 / fps.
int VideoFrameCount(uint32_t fromMs, uint32_t toMs, int fps);
// The plan time frame k shows, and the clock tick whose state it shows (the
// last tick at or before that time).
uint32_t VideoFrameTimeMs(uint32_t fromMs, int frame, int fps);
uint32_t VideoFrameTickMs(uint32_t fromMs, int frame, int fps, uint32_t periodMs);
// What is wrong with the options, empty when they can be used.
std::string CheckVideoOptions(const VideoOptions& options);

// Plays the plan from `fromMs` (seeking there as the time bar does) tick by
// tick as the clock does, draws each frame as the view shows the plan at that
// time, and pipes the frames to FFmpeg (H.264 MP4, or a GIF with its own
// palette). The file appears only when the whole video was written. The plan
// is left at the last frame's tick: the caller seeks it back; the play state's
// sink sees nothing. Only while the clock is stopped. `progress` (frames
// done, frames in all) returns false to cancel.
ExportResult ExportVideo(CPlan& plan, const VideoOptions& options,
                         const std::function<bool(int, int)>& progress = {});
