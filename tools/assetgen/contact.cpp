// The contact sheet: every preview of the output folder on one picture. Only
// the previews' rule depends on this file.
#include <png.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gen.h"
#include "plumbing.h"

namespace fs = std::filesystem;

namespace {

// A preview PNG read back as RGB, for the contact sheet.
struct Picture {
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
};

Picture read_png_rgb(const std::string &path) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  Picture p;
  if (!png_image_begin_read_from_file(&img, path.c_str())) gen_fail("cannot read", path, img.message);
  img.format = PNG_FORMAT_RGB;
  p.w = int(img.width);
  p.h = int(img.height);
  p.rgb.resize(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, p.rgb.data(), 0, nullptr)) gen_fail("cannot read", path, img.message);
  return p;
}

// Box-filters `p` down by the integer factor f into the sheet at (x0, y0).
void paste(std::vector<uint8_t> &sheet, int W, const Picture &p, int f, int x0, int y0) {
  const int ow = p.w / f, oh = p.h / f;
  for (int y = 0; y < oh; y++)
    for (int x = 0; x < ow; x++)
      for (int c = 0; c < 3; c++) {
        int sum = 0;
        for (int dy = 0; dy < f; dy++)
          for (int dx = 0; dx < f; dx++) sum += p.rgb[(size_t(y * f + dy) * p.w + (x * f + dx)) * 3 + c];
        sheet[(size_t(y0 + y) * W + (x0 + x)) * 3 + c] = uint8_t(sum / (f * f));
      }
}

}  // namespace

// Every preview in OUTDIR/preview, each fitted into a 320x200 cell
// (downscaled by an integer box filter when larger), in name order.
void write_contact_sheet() {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(output_dir() + "/preview"))
    if (e.path().extension() == ".png" && e.path().stem() != "contact") names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  const int cw = 320, ch = 200, gap = 4, cols = 6;
  const int n = int(names.size());
  if (n == 0) return;
  const int rows = (n + cols - 1) / cols;
  const int W = cols * (cw + gap) + gap, H = rows * (ch + gap) + gap;
  std::vector<uint8_t> sheet(size_t(W) * H * 3, 40);
  for (int i = 0; i < n; i++) {
    const Picture p = read_png_rgb(names[i]);
    int f = 1;
    while ((p.w + f - 1) / f > cw || (p.h + f - 1) / f > ch) f++;
    paste(sheet, W, p, f, gap + (i % cols) * (cw + gap) + (cw - p.w / f) / 2,
          gap + (i / cols) * (ch + gap) + (ch - p.h / f) / 2);
  }
  write_png(output_dir() + "/preview/contact.png", W, H, 3, sheet.data());
}

void make_previews_from_disk() {
  for (const AssetInfo &a : kCatalogue) load_asset(a);
  compose_scene_previews();
  write_contact_sheet();
}
