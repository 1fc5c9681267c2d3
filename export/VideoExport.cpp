#include "export/VideoExport.h"

#include "export/PlanFrame.h"
#include "export/PlayDiversion.h"

#include "engine/Plan.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {

QStringList EncoderArguments(const VideoOptions& o, const QString& output)
{
    QStringList args = {"-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                        "-f", "rawvideo", "-pix_fmt", "bgra",
                        "-s", QStringLiteral("%1x%2").arg(o.size.width()).arg(o.size.height()),
                        "-framerate", QString::number(o.fps), "-i", "-"};
    if (o.format == VideoFormat::Gif) {
        // One palette for the whole animation, made from the frames themselves.
        args << "-vf" << "split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=bayer"
             << "-loop" << "0" << "-f" << "gif";
    } else {
        args << "-c:v" << "libx264" << "-preset" << "veryfast" << "-crf" << "20" << "-pix_fmt" << "yuv420p"
             << "-movflags" << "+faststart" << "-f" << "mp4";
    }
    args << output;
    return args;
}

QString ErrorTail(QProcess& process)
{
    const QString text = QString::fromUtf8(process.readAllStandardError()).trimmed();
    return text.right(400);
}

}  // namespace

VideoFormat VideoFormatForPath(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).suffix().compare("gif", Qt::CaseInsensitive) == 0
               ? VideoFormat::Gif
               : VideoFormat::Mp4;
}

int VideoFrameCount(uint32_t fromMs, uint32_t toMs, int fps)
{
    if (fps <= 0 || toMs < fromMs)
        return 0;
    // Every k with trunc(k * 1000 / fps) <= span, i.e. k * 1000 < (span + 1) * fps.
    return int(((uint64_t(toMs - fromMs) + 1) * uint64_t(fps) + 999) / 1000);
}

uint32_t VideoFrameTimeMs(uint32_t fromMs, int frame, int fps)
{
    return fromMs + uint32_t(uint64_t(frame) * 1000 / uint64_t(fps));
}

uint32_t VideoFrameTickMs(uint32_t fromMs, int frame, int fps, uint32_t periodMs)
{
    const uint32_t t = VideoFrameTimeMs(fromMs, frame, fps);
    return t / periodMs * periodMs;
}

std::string CheckVideoOptions(const VideoOptions& o)
{
    if (o.path.empty())
        return "没有给出视频文件";
    if (o.fps < 1 || o.fps > 120)
        return "每秒帧数应在1到120之间";
    if (o.size.width() < 16 || o.size.height() < 16 || o.size.width() > 7680 || o.size.height() > 4320)
        return "画面大小应在16x16到7680x4320之间";
    if (o.format == VideoFormat::Mp4 && (o.size.width() % 2 || o.size.height() % 2))
        return "MP4视频的宽和高必须是偶数";
    if (o.toMs < o.fromMs)
        return "结束时间早于开始时间";
    return {};
}

ExportResult ExportVideo(CPlan& plan, const VideoOptions& o, const std::function<bool(int, int)>& progress)
{
    if (std::string error = CheckVideoOptions(o); !error.empty())
        return ExportResult::Failed(error);
    const int frames = VideoFrameCount(o.fromMs, o.toMs, o.fps);
    const QString target = QString::fromStdString(o.path);
    const QString partial = target + ".part";

    QProcess encoder;
    encoder.setProcessChannelMode(QProcess::SeparateChannels);
    encoder.setStandardOutputFile(QProcess::nullDevice());
    encoder.start(QString::fromStdString(o.ffmpeg), EncoderArguments(o, partial));
    if (!encoder.waitForStarted(10000))
        return ExportResult::Failed("无法启动视频编码程序 " + o.ffmpeg + " (请安装FFmpeg): " +
                                    encoder.errorString().toStdString());
    auto abandon = [&] {
        encoder.kill();
        encoder.waitForFinished(5000);
        QFile::remove(partial);
    };

    DiscardingSink discard;
    PlayStateDiversion diversion(plan, discard);
    MapViewSizeGuard sizes(plan);
    PlanFrameRenderer renderer(o.size, o.render);
    const uint32_t period = CPlan::kTickMs;

    int64_t played = -1;  // the last tick played
    for (int k = 0; k < frames; ++k) {
        const uint32_t tick = VideoFrameTickMs(o.fromMs, k, o.fps, period);
        if (played < 0) {
            plan.SeekTo(tick, period);
        } else if (tick > played) {
            plan.PlayTicks(uint32_t(played) + period, tick, period);
        }
        played = tick;
        const QImage& frame =
            renderer.Draw(plan, o.caption ? PlanTimeCaption(plan, VideoFrameTimeMs(o.fromMs, k, o.fps)) : QString());
        const qint64 bytes = qint64(frame.sizeInBytes());
        if (encoder.write(reinterpret_cast<const char*>(frame.constBits()), bytes) != bytes ||
            !encoder.waitForBytesWritten(-1)) {
            const std::string why = ErrorTail(encoder).toStdString();
            abandon();
            return ExportResult::Failed("视频编码失败: " + why);
        }
        if (progress && !progress(k + 1, frames)) {
            abandon();
            return ExportResult::Cancelled();
        }
    }
    encoder.closeWriteChannel();
    if (!encoder.waitForFinished(-1) || encoder.exitStatus() != QProcess::NormalExit || encoder.exitCode() != 0) {
        const std::string why = ErrorTail(encoder).toStdString();
        QFile::remove(partial);
        return ExportResult::Failed("视频编码失败: " + why);
    }
    QFile::remove(target);
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        return ExportResult::Failed("无法写入 " + o.path);
    }
    return ExportResult::Done("已导出 " + std::to_string(frames) + " 帧到 " + o.path);
}
