// Picture and sound encoded through libavcodec and muxed by libavformat
// into a file written through the tools' checked output files.
#include "tools/capture/encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <strings.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "tools/writers/outfile.h"

namespace {

// A container the extension chooses, with the encoders (FFmpeg's names)
// it is written with.
struct container {
  const char *ext, *muxer, *video, *audio, *what;
};

constexpr container CONTAINERS[] = {
    {".mp4", "mp4", "libx264", "aac", "H.264 + AAC"},
    {".mkv", "matroska", "libx264", "flac", "H.264 + FLAC"},
    {".webm", "webm", "libvpx-vp9", "libopus", "VP9 + Opus"},
};
constexpr container LOSSLESS = {".mkv", "matroska", "libx264", "flac", "H.264 4:4:4 qp 0 + FLAC"};

// The output file as libavformat sees it: a position and a size over the
// checked writes of `file`.
struct output {
  tw_file file;
  int64_t at = 0, size = 0;
};

}  // namespace

struct venc_stream {
  venc_params p;
  output out;
  AVFormatContext *fmt = nullptr;
  AVCodecContext *venc = nullptr, *aenc = nullptr;
  AVStream *vst = nullptr, *ast = nullptr;
  AVFrame *picture = nullptr, *sound = nullptr;
  AVPacket *packet = nullptr;
  SwrContext *swr = nullptr;  // null when the encoder takes the samples as they are
  AVAudioFifo *fifo = nullptr;  // converted samples waiting for a whole encoder frame
  uint8_t **converted = nullptr;  // swr's output, CONVERT_MAX frames
  int frame_samples = 0;  // samples per encoder frame
  int64_t picture_pts = 0, sound_pts = 0;
};

namespace {

constexpr int IO_BUFFER = 1 << 16;
constexpr int CONVERT_IN = 4096;  // frames given to the resampler at a time
constexpr int CONVERT_MAX = 2 * CONVERT_IN + 256;

std::string av_text(int err) {
  char s[AV_ERROR_MAX_STRING_SIZE];
  av_strerror(err, s, sizeof s);
  return s;
}

// The libraries' last error message, kept for the one line that reports
// the failure instead of printed beside it. Their encoder threads log too.
std::mutex log_lock;
std::string last_log;

void keep_log(void *avcl, int level, const char *fmt, va_list vl) {
  if (level > AV_LOG_ERROR) return;
  char line[512];
  int prefix = 1;  // "[mp4 @ 0x...] ": the component, shortened below
  av_log_format_line2(avcl, level, fmt, vl, line, sizeof line, &prefix);
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  // "[mp4 @ 0x55d0c5a0] what": the address says nothing to a reader.
  if (text.size() > 1 && text[0] == '[') {
    const size_t at = text.find(" @ 0x"), close = text.find("] ");
    if (at != std::string::npos && close != std::string::npos && at < close)
      text = text.substr(1, at - 1) + ": " + text.substr(close + 2);
  }
  const std::lock_guard<std::mutex> hold(log_lock);
  last_log = text;
}

// Ends the program like a failed write: the unfinished file is removed.
[[noreturn]] void failed(venc_stream *s, const char *what, int err) {
  std::string reason = std::string(what) + ": " + av_text(err);
  {
    const std::lock_guard<std::mutex> hold(log_lock);
    if (!last_log.empty()) reason += " (" + last_log + ")";
  }
  tw_fail(s->out.file.path, reason.c_str());
}

void check(venc_stream *s, int ret, const char *what) {
  if (ret < 0) failed(s, what, ret);
}

int write_out(void *opaque, uint8_t *buf, int n) {
  auto *o = static_cast<output *>(opaque);
  tw_write(o->file, buf, size_t(n));
  o->at += n;
  o->size = std::max(o->size, o->at);
  return n;
}

int64_t seek_out(void *opaque, int64_t offset, int whence) {
  auto *o = static_cast<output *>(opaque);
  if (whence & AVSEEK_SIZE) return o->size;
  whence &= ~AVSEEK_FORCE;
  const int64_t at = whence == SEEK_SET ? offset
                     : whence == SEEK_CUR ? o->at + offset
                     : whence == SEEK_END ? o->size + offset
                                          : -1;
  if (at < 0) return AVERROR(EINVAL);
  tw_seek(o->file, uint64_t(at));
  o->at = at;
  return at;
}

// Upper or lower case: "Demo.MP4" is an .mp4.
bool ends_with(const std::string &s, const char *tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

bool installed(const container &c) {
  return avcodec_find_encoder_by_name(c.video) && avcodec_find_encoder_by_name(c.audio) &&
         av_guess_format(c.muxer, nullptr, nullptr);
}

// "   .mp4 (H.264 + AAC), .mkv (H.264 + FLAC)": the containers this
// FFmpeg can write.
std::string available() {
  std::string list;
  for (const container &c : CONTAINERS)
    if (installed(c)) list += std::string(list.empty() ? "" : ", ") + c.ext + " (" + c.what + ")";
  return list.empty() ? "none" : list;
}

[[noreturn]] void refuse(const std::string &path, const std::string &why, int status) {
  std::fprintf(stderr, "%s: cannot record %s: %s\n", tw_program_name(), path.c_str(), why.c_str());
  std::exit(status);
}

// The container for `path`, or the program refused.
const container &choose(const std::string &path, bool lossless) {
  if (path == "-")
    refuse(path, "standard output has no extension to name the container; give a file or FIFO ending in .mp4, "
                 ".mkv or .webm", 2);
  const container *c = nullptr;
  for (const container &k : CONTAINERS)
    if (ends_with(path, k.ext)) c = &k;
  if (!c) refuse(path, "the extension names the container; this FFmpeg can record " + available(), 2);
  if (lossless) {
    if (std::strcmp(c->ext, LOSSLESS.ext) != 0)
      refuse(path, std::string("--lossless records ") + LOSSLESS.what + ", into .mkv only", 2);
    c = &LOSSLESS;
  }
  for (const char *name : {c->video, c->audio})
    if (!avcodec_find_encoder_by_name(name))
      refuse(path, std::string("this FFmpeg has no ") + name + " encoder; it can record " + available(), 1);
  if (!av_guess_format(c->muxer, nullptr, nullptr))
    refuse(path, std::string("this FFmpeg has no ") + c->muxer + " muxer; it can record " + available(), 1);
  return *c;
}

void set(venc_stream *s, void *obj, const char *name, const char *value) {
  check(s, av_opt_set(obj, name, value, 0), (std::string("cannot set the encoder's ") + name).c_str());
}

AVCodecContext *open_video(venc_stream *s, const AVCodec *codec) {
  AVCodecContext *e = avcodec_alloc_context3(codec);
  if (!e) tw_fail(s->out.file.path, "out of memory");
  e->width = s->p.width;
  e->height = s->p.height;
  e->time_base = AVRational{1, s->p.fps};
  e->framerate = AVRational{s->p.fps, 1};
  e->pix_fmt = s->p.lossless ? AV_PIX_FMT_YUV444P : AV_PIX_FMT_YUV420P;
  e->color_range = AVCOL_RANGE_MPEG;
  e->colorspace = AVCOL_SPC_SMPTE170M;  // the BT.601 matrix of the conversion
  if (!s->p.lossless) e->chroma_sample_location = AVCHROMA_LOC_CENTER;  // 2x2 means
  e->thread_count = 2;
  if (codec->id == AV_CODEC_ID_H264) {
    set(s, e->priv_data, "preset", "medium");
    if (s->p.lossless)
      set(s, e->priv_data, "qp", "0");
    else
      set(s, e->priv_data, "crf", "12");
  } else {  // VP9: constant quality
    e->bit_rate = 0;
    set(s, e->priv_data, "crf", "20");
    set(s, e->priv_data, "deadline", "good");
    set(s, e->priv_data, "cpu-used", "4");
    set(s, e->priv_data, "row-mt", "1");
  }
  if (s->fmt->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  check(s, avcodec_open2(e, codec, nullptr), "cannot open the video encoder");
  return e;
}

bool takes_format(const AVCodec *codec, AVSampleFormat f) {
  for (const AVSampleFormat *p = codec->sample_fmts; p && *p != AV_SAMPLE_FMT_NONE; p++)
    if (*p == f) return true;
  return false;
}

// The rate the encoder takes nearest above `rate` (Opus: 48000), or `rate`.
int sound_rate(const AVCodec *codec, int rate) {
  const int *r = codec->supported_samplerates;
  if (!r) return rate;
  int best = 0;
  for (; *r; r++)
    if (*r == rate) return rate;
    else if (*r > rate && (best == 0 || *r < best)) best = *r;
  return best ? best : codec->supported_samplerates[0];
}

AVCodecContext *open_audio(venc_stream *s, const AVCodec *codec) {
  AVCodecContext *e = avcodec_alloc_context3(codec);
  if (!e) tw_fail(s->out.file.path, "out of memory");
  av_channel_layout_default(&e->ch_layout, 2);
  e->sample_fmt = takes_format(codec, AV_SAMPLE_FMT_S16) ? AV_SAMPLE_FMT_S16 : codec->sample_fmts[0];
  e->sample_rate = sound_rate(codec, s->p.rate);
  e->time_base = AVRational{1, e->sample_rate};
  if (codec->id == AV_CODEC_ID_AAC) e->bit_rate = 256000;
  if (codec->id == AV_CODEC_ID_OPUS) e->bit_rate = 192000;
  if (s->fmt->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  check(s, avcodec_open2(e, codec, nullptr), "cannot open the sound encoder");
  s->frame_samples = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || e->frame_size == 0 ? 4096
                                                                                                  : e->frame_size;
  return e;
}

// The conversion to the encoder's samples, when they are not 16-bit
// interleaved at the capture's rate; the queue of whole encoder frames.
void open_conversion(venc_stream *s) {
  AVCodecContext *e = s->aenc;
  if (e->sample_fmt != AV_SAMPLE_FMT_S16 || e->sample_rate != s->p.rate) {
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, 2);
    check(s,
          swr_alloc_set_opts2(&s->swr, &e->ch_layout, e->sample_fmt, e->sample_rate, &stereo, AV_SAMPLE_FMT_S16,
                              s->p.rate, 0, nullptr),
          "cannot convert the sound");
    check(s, swr_init(s->swr), "cannot convert the sound");
    check(s, av_samples_alloc_array_and_samples(&s->converted, nullptr, 2, CONVERT_MAX, e->sample_fmt, 0),
          "cannot convert the sound");
  }
  s->fifo = av_audio_fifo_alloc(e->sample_fmt, 2, 4 * s->frame_samples);
  s->sound = av_frame_alloc();
  if (!s->fifo || !s->sound) tw_fail(s->out.file.path, "out of memory");
  s->sound->nb_samples = s->frame_samples;
  s->sound->format = e->sample_fmt;
  s->sound->sample_rate = e->sample_rate;
  check(s, av_channel_layout_copy(&s->sound->ch_layout, &e->ch_layout), "cannot convert the sound");
  check(s, av_frame_get_buffer(s->sound, 0), "cannot convert the sound");
}

AVStream *add_stream(venc_stream *s, AVCodecContext *e) {
  AVStream *st = avformat_new_stream(s->fmt, nullptr);
  if (!st) tw_fail(s->out.file.path, "out of memory");
  check(s, avcodec_parameters_from_context(st->codecpar, e), "cannot set up the container");
  st->time_base = e->time_base;
  return st;
}

// Every packet the encoder has ready (all of them when `frame` is null,
// the end), into the container.
void encode(venc_stream *s, AVCodecContext *e, AVStream *st, const AVFrame *frame) {
  check(s, avcodec_send_frame(e, frame), e == s->venc ? "the video encoder failed" : "the sound encoder failed");
  for (;;) {
    const int ret = avcodec_receive_packet(e, s->packet);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    check(s, ret, e == s->venc ? "the video encoder failed" : "the sound encoder failed");
    // Each picture is shown for one frame; x264 leaves the duration out,
    // and without it an .mp4's picture track ends a frame before its sound.
    if (e == s->venc && s->packet->duration == 0) s->packet->duration = 1;
    av_packet_rescale_ts(s->packet, e->time_base, st->time_base);
    s->packet->stream_index = st->index;
    check(s, av_interleaved_write_frame(s->fmt, s->packet), "cannot add to the container");
  }
}

// n queued samples into the encoder frame from its start.
void take_queued(venc_stream *s, int n) {
  if (av_audio_fifo_read(s->fifo, reinterpret_cast<void **>(s->sound->data), n) != n)
    tw_fail(s->out.file.path, "the sound queue lost samples");
}

// The queued samples, n of them, as one encoder frame.
void send_sound(venc_stream *s, int n) {
  check(s, av_frame_make_writable(s->sound), "the sound encoder failed");
  s->sound->nb_samples = n;
  take_queued(s, n);
  s->sound->pts = s->sound_pts;
  s->sound_pts += n;
  encode(s, s->aenc, s->ast, s->sound);
}

void queue_sound(venc_stream *s, void *const *data, int n) {
  if (n > 0 && av_audio_fifo_write(s->fifo, const_cast<void **>(data), n) < n)
    tw_fail(s->out.file.path, "out of memory");
  while (av_audio_fifo_size(s->fifo) >= s->frame_samples) send_sound(s, s->frame_samples);
}

// The resampler's last samples and the queue's short last frame (padded
// with silence for an encoder that takes whole frames only).
void drain_sound(venc_stream *s) {
  if (s->swr)
    for (int n; (n = swr_convert(s->swr, s->converted, CONVERT_MAX, nullptr, 0)) != 0;) {
      check(s, n, "cannot convert the sound");
      queue_sound(s, reinterpret_cast<void *const *>(s->converted), n);
    }
  const int left = av_audio_fifo_size(s->fifo);
  if (left > 0) {
    if (s->aenc->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) {
      send_sound(s, left);
    } else {
      check(s, av_frame_make_writable(s->sound), "the sound encoder failed");
      check(s, av_samples_set_silence(s->sound->data, 0, s->frame_samples, 2, s->aenc->sample_fmt),
            "the sound encoder failed");
      take_queued(s, left);
      s->sound->nb_samples = s->frame_samples;
      s->sound->pts = s->sound_pts;
      s->sound_pts += s->frame_samples;
      encode(s, s->aenc, s->ast, s->sound);
    }
  }
  encode(s, s->aenc, s->ast, nullptr);
}

}  // namespace

venc_stream *venc_open(const std::string &path, const venc_params &p) {
  av_log_set_callback(keep_log);
  const container &c = choose(path, p.lossless);
  auto *s = new venc_stream;
  s->p = p;
  s->out.file.path = path;
  check(s, avformat_alloc_output_context2(&s->fmt, nullptr, c.muxer, nullptr), "cannot set up the container");
  s->venc = open_video(s, avcodec_find_encoder_by_name(c.video));
  s->aenc = open_audio(s, avcodec_find_encoder_by_name(c.audio));
  s->vst = add_stream(s, s->venc);
  s->ast = add_stream(s, s->aenc);
  open_conversion(s);
  s->picture = av_frame_alloc();
  s->packet = av_packet_alloc();
  if (!s->picture || !s->packet) tw_fail(path, "out of memory");
  s->picture->format = s->venc->pix_fmt;
  s->picture->width = p.width;
  s->picture->height = p.height;
  check(s, av_frame_get_buffer(s->picture, 0), "cannot set up the video encoder");

  tw_open(s->out.file, path);
  // A device or FIFO is written straight through: Matroska and WebM then
  // go without their index, and an .mp4 is fragmented (its index cannot be
  // written at the front before the end is known, nor at the end and
  // pointed to from the front).
  const bool seekable = !s->out.file.stream;
  auto *buffer = static_cast<unsigned char *>(av_malloc(IO_BUFFER));
  s->fmt->pb = avio_alloc_context(buffer, IO_BUFFER, 1, &s->out, nullptr, write_out, seekable ? seek_out : nullptr);
  if (!buffer || !s->fmt->pb) tw_fail(path, "out of memory");
  s->fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (!seekable) s->fmt->pb->seekable = 0;
  AVDictionary *options = nullptr;
  if (!seekable && std::strcmp(c.muxer, "mp4") == 0)
    check(s, av_dict_set(&options, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0),
          "cannot set up the container");
  const int ret = avformat_write_header(s->fmt, &options);
  av_dict_free(&options);
  check(s, ret, "cannot start the container");
  return s;
}

void venc_picture(venc_stream *s, const uint8_t *planes) {
  AVFrame *f = s->picture;
  check(s, av_frame_make_writable(f), "the video encoder failed");
  const int W = s->p.width, H = s->p.height;
  const uint8_t *Y = planes, *U = planes + size_t(W) * H, *V = U + size_t(W) * H;
  av_image_copy_plane(f->data[0], f->linesize[0], Y, W, W, H);
  if (s->p.lossless) {
    av_image_copy_plane(f->data[1], f->linesize[1], U, W, W, H);
    av_image_copy_plane(f->data[2], f->linesize[2], V, W, W, H);
  } else {
    // 4:2:0: each chroma sample the mean of its 2x2 block, rounded half up.
    for (int i = 1; i < 3; i++) {
      const uint8_t *src = i == 1 ? U : V;
      for (int y = 0; y < H / 2; y++) {
        const uint8_t *a = src + size_t(2 * y) * W, *b = a + W;
        uint8_t *o = f->data[i] + size_t(y) * f->linesize[i];
        for (int x = 0; x < W / 2; x++) o[x] = uint8_t((a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1] + 2) >> 2);
      }
    }
  }
  f->pts = s->picture_pts++;
  encode(s, s->venc, s->vst, f);
}

void venc_sound(venc_stream *s, const int16_t *frames, size_t n) {
  if (!s->swr) {
    const void *data[1] = {frames};
    queue_sound(s, const_cast<void *const *>(data), int(n));
    return;
  }
  while (n > 0) {
    const int in = int(std::min<size_t>(n, CONVERT_IN));
    const uint8_t *data[1] = {reinterpret_cast<const uint8_t *>(frames)};
    const int out = swr_convert(s->swr, s->converted, CONVERT_MAX, data, in);
    check(s, out, "cannot convert the sound");
    queue_sound(s, reinterpret_cast<void *const *>(s->converted), out);
    frames += 2 * in;
    n -= size_t(in);
  }
}

namespace {

void free_stream(venc_stream *s) {
  av_freep(&s->fmt->pb->buffer);
  avio_context_free(&s->fmt->pb);
  avformat_free_context(s->fmt);
  avcodec_free_context(&s->venc);
  avcodec_free_context(&s->aenc);
  av_frame_free(&s->picture);
  av_frame_free(&s->sound);
  av_packet_free(&s->packet);
  swr_free(&s->swr);
  av_audio_fifo_free(s->fifo);
  if (s->converted) av_freep(&s->converted[0]);
  av_freep(&s->converted);
  delete s;
}

}  // namespace

void venc_check(const std::string &path, bool lossless) { choose(path, lossless); }

uint64_t venc_finish(venc_stream *s) {
  encode(s, s->venc, s->vst, nullptr);
  drain_sound(s);
  check(s, av_write_trailer(s->fmt), "cannot finish the container");
  avio_flush(s->fmt->pb);
  check(s, s->fmt->pb->error, "cannot finish the container");
  // The encoders' threads end here, so none of them can take a signal
  // while tw_commit holds the signals on this thread to rename the file.
  avcodec_free_context(&s->venc);
  avcodec_free_context(&s->aenc);
  tw_commit({&s->out.file});
  const uint64_t bytes = uint64_t(s->out.size);
  free_stream(s);
  return bytes;
}

void venc_discard(venc_stream *s) {
  tw_discard(s->out.file);
  free_stream(s);
}

uint64_t venc_bytes(const venc_stream *s) { return uint64_t(s->out.size); }
