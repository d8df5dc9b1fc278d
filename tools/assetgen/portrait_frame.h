// Asset generator: where the portraits' busts stand in their pictures.
//
// Shared with `ulvenor-artfigures --worms`, which measures how much of each
// bust's face the portrait scene's worms cover: the pose and framing of the
// three sitters, the camera, and the extent of the face in the head's own
// frame, all as the portraits job renders them. Header only, so that the
// figures need none of the generator's code.
#pragma once

#include "sdf.h"

#include <algorithm>
#include <cmath>

// Pose of the head on the neck (radians) and framing: the camera's
// distance (world units; larger draws the bust smaller) and the shift of
// the frame over the camera's picture plane (pixels), which moves the bust
// on the screen without turning the view.
struct PortraitFrame {
  double yaw, pitch, roll;
  double dist;
  double shift_x, shift_y;
};

// tamsk, dorl, vesk.
inline constexpr PortraitFrame kPortraitFrames[3] = {
    {-0.45, 0.05, 0.0, 16, -82, 10},
    {-0.35, 0.18, 0.05, 21, -122, 10},
    {-0.4, 0.22, -0.08, 16, -112, -58},
};

// The head turns about this point (world and head frame alike).
inline constexpr V3 kPortraitNeck{0, -0.9, -0.1};
// The camera looks at kPortraitTarget from kPortraitTarget + kPortraitEye *
// dist / kPortraitEye.z, with a horizontal field of view of kPortraitFov
// degrees, into a picture of kPortraitW x kPortraitH.
inline constexpr V3 kPortraitTarget{0, -1.0, 0}, kPortraitEye{0.55, 0.4, 8.5};
inline constexpr double kPortraitFov = 38.0;
inline constexpr int kPortraitW = 320, kPortraitH = 200;

// The parts of the face (head frame: nasion at the origin, y up, face
// towards +z) that bound it: the chin, the cheekbones (mirrored in x), the
// brow ridge (a capsule from its inner to its outer end, mirrored) and the
// tip of the longest nose drawn.
inline constexpr V3 kChinAt{0, -0.93, 0.47}, kChinSize{0.19, 0.13, 0.15};
inline constexpr V3 kCheekboneAt{0.40, -0.25, 0.44}, kCheekboneSize{0.16, 0.12, 0.14};
inline constexpr V3 kBrowFrom{0.07, 0.04, 0.67}, kBrowTo{0.42, 0.07, 0.53};
inline constexpr double kBrowR = 0.07;
// the nose's end (a sphere of radius 0.075 at z 0.83 + 0.05 L) for the
// longest nose, L = 1.12
inline constexpr double kNoseTipZ = 0.83 + 0.05 * 1.12 + 0.075;

// The face's box in the head frame: cheekbone to cheekbone, the top of the
// brow ridge to the underside of the chin, the back of the cheekbones to
// the tip of the nose.
inline constexpr V3 kFaceLo{-(kCheekboneAt.x + kCheekboneSize.x), kChinAt.y - kChinSize.y,
                            kCheekboneAt.z - kCheekboneSize.z};
inline constexpr V3 kFaceHi{kCheekboneAt.x + kCheekboneSize.x, std::max(kBrowFrom.y, kBrowTo.y) + kBrowR, kNoseTipZ};

// Frame pixels (inclusive, clipped to the picture) covered by the face
// box of sitter f as the portraits job draws it: its eight corners turned
// with the head, projected through the camera (the pinhole of camera_look
// and camera_ray, inverted) and shifted with the frame.
struct FaceBox {
  int x0, y0, x1, y1;
};
inline FaceBox portrait_face_box(const PortraitFrame &f) {
  const V3 eye = kPortraitTarget + kPortraitEye * (f.dist / kPortraitEye.z);
  const V3 fwd = normalize(kPortraitTarget - eye);
  const V3 right = normalize(cross(fwd, V3{0, 1, 0}));
  const V3 up = cross(right, fwd);
  const double focal = 1.0 / std::tan(kPortraitFov * 3.14159265358979323846 / 360.0);
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
  for (int i = 0; i < 8; i++) {
    V3 h{i & 1 ? kFaceHi.x : kFaceLo.x, i & 2 ? kFaceHi.y : kFaceLo.y, i & 4 ? kFaceHi.z : kFaceLo.z};
    // head frame to world: the head's turn undone in the reverse order
    V3 q = h - kPortraitNeck;
    q = rot_z(q, f.roll);
    q = rot_x(q, f.pitch);
    q = rot_y(q, f.yaw);
    const V3 d = q + kPortraitNeck - eye;
    const double z = dot(d, fwd);
    const double sx = focal * dot(d, right) / z, sy = focal * dot(d, up) / z;
    const double px = (sx + 1) * kPortraitW / 2 - f.shift_x, py = (kPortraitH - sy * kPortraitW) / 2 - f.shift_y;
    x0 = std::min(x0, px), x1 = std::max(x1, px), y0 = std::min(y0, py), y1 = std::max(y1, py);
  }
  return {std::clamp(int(std::floor(x0)), 0, kPortraitW - 1), std::clamp(int(std::floor(y0)), 0, kPortraitH - 1),
          std::clamp(int(std::floor(x1)), 0, kPortraitW - 1), std::clamp(int(std::floor(y1)), 0, kPortraitH - 1)};
}
