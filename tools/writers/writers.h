// The picture, sound and video formats the tools write, each through the
// checked output files of outfile.h: a failure ends the program with
// "PROGRAM: cannot write PATH: REASON" and leaves no file under PATH.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/writers/outfile.h"

// PNG, 8 bits per channel: grey when channels is 1, RGB when 3; rows of
// w * channels bytes, top first. Written whole, then renamed into place.
void tw_png(const std::string &path, int w, int h, int channels, const uint8_t *data);
// The same PNG written and closed but left unfinished, for a tw_commit of
// a whole set of files at once.
void tw_png_write(tw_file &file, const std::string &path, int w, int h, int channels, const uint8_t *data);

// WAV, 16-bit stereo PCM. The header's sizes are 32-bit, so a file holds at
// most TW_WAV_MAX_FRAMES frames (a little over 4 GiB); check a planned
// length with that before rendering.
constexpr uint64_t TW_WAV_MAX_FRAMES = (0xFFFFFFFFull - 36) / 4;
// Opens the file and writes a header for `frames` frames (0 when the length
// is known only at the end, see tw_wav_close).
void tw_wav_open(tw_file &file, const std::string &path, int rate, uint64_t frames);
// Appends n frames of interleaved little-endian samples.
void tw_wav_frames(tw_file &file, const int16_t *frames, size_t n);
// Rewrites the header for `frames` frames in all and commits the file.
// Fails the program when frames exceeds TW_WAV_MAX_FRAMES.
void tw_wav_close(tw_file &file, int rate, uint64_t frames);
// A whole WAV from 16-bit stereo little-endian bytes in memory.
void tw_wav(const std::string &path, int rate, const uint8_t *pcm, size_t bytes);

// YUV4MPEG2, 4:4:4, BT.601 studio range: the stream header for w x h
// pictures (after enlarging) at fps frames per second, then one frame per
// call from a w0 x h0 RGB picture enlarged `scale` times (nearest
// neighbour). `planes` is the caller's scratch buffer, sized once.
void tw_y4m_open(tw_file &file, const std::string &path, int w, int h, int fps);
void tw_y4m_frame(tw_file &file, const uint8_t *rgb, int w0, int h0, int scale, std::vector<uint8_t> &planes);
// The same frames from 16-bit pixels (rows `pitch` pixels apart) through a
// table of every pixel value's Y, U and V, made once by tw_y4m_table from
// the 8-bit RGB that `rgb_of` gives for each value: the bytes are those of
// tw_y4m_frame on the widened picture, without widening it per frame.
void tw_y4m_table(std::vector<uint32_t> &table, void (*rgb_of)(uint16_t pixel, uint8_t rgb[3]));
void tw_y4m_frame16(tw_file &file, const uint16_t *pixels, size_t pitch, int w0, int h0, int scale,
                    const std::vector<uint32_t> &table, std::vector<uint8_t> &planes);
// The planes of that frame (Y, then U, then V, each w0 * scale by
// h0 * scale bytes, rows without padding) in `planes`, for an encoder.
void tw_y4m_planes16(const uint16_t *pixels, size_t pitch, int w0, int h0, int scale,
                     const std::vector<uint32_t> &table, std::vector<uint8_t> &planes);
// Bytes of one frame of a w x h stream, marker included.
constexpr uint64_t tw_y4m_frame_bytes(int w, int h) { return 6 + uint64_t(w) * uint64_t(h) * 3; }
