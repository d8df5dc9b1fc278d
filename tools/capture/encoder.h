// The capture's picture and sound encoded into one file as they are made,
// through FFmpeg's libraries (only the capture tool links them).
//
// The file's extension chooses the container and its codecs:
//   .mp4   H.264 4:2:0 (x264, constant rate factor) + AAC
//   .mkv   H.264 4:2:0 + FLAC
//   .webm  VP9 4:2:0 (constant quality) + Opus (the sound resampled to 48 kHz)
// and lossless (.mkv only) H.264 4:4:4 at qp 0 + FLAC: the decoded frames
// are the YUV4MPEG2 capture's planes and the samples the WAV's, exactly.
//
// The file is written through the tools' checked output files: under a
// temporary name, every write checked, renamed into place by venc_finish;
// a failed write or an encoder error removes it and ends the program
// ("PROGRAM: cannot write PATH: REASON", exit 1), as a signal does
// (exit 128 + the signal). A character device or FIFO is written into as
// the file is made: Matroska and WebM without their index, MP4 fragmented.
// The libraries print nothing: their last error joins the REASON.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct venc_stream;

// What venc_open is asked for. The picture is BT.601 studio-range YUV, the
// sound 16-bit interleaved stereo at `rate` Hz.
struct venc_params {
  int width = 0, height = 0;  // even
  int fps = 60;
  int rate = 44100;
  bool lossless = false;
};

// Refuses, with one line naming what this FFmpeg can record, a path whose
// extension (either case) is not one of the containers above, or not .mkv
// when lossless, or "-" (exit 2), or whose encoders or muxer are missing
// from the installed libraries (exit 1).
void venc_check(const std::string &path, bool lossless);

// venc_check, then opens the encoders and the file and writes the
// container's header.
venc_stream *venc_open(const std::string &path, const venc_params &p);

// One picture: three planes of width x height bytes (Y, U, V; 4:4:4 rows
// without padding, as tw_y4m_planes16 makes them), shown for 1/fps s after
// the one before. Subsampled to 4:2:0 here unless lossless.
void venc_picture(venc_stream *s, const uint8_t *planes);

// n more frames of sound (2 channels of int16_t each).
void venc_sound(venc_stream *s, const int16_t *frames, size_t n);

// Drains the encoders, writes the container's index and renames the file
// into place. Frees the stream; returns the file's size in bytes.
uint64_t venc_finish(venc_stream *s);

// Removes the unfinished file (nothing was recorded). Frees the stream.
void venc_discard(venc_stream *s);

// Bytes of the file so far.
uint64_t venc_bytes(const venc_stream *s);
