#pragma once

namespace kestrio {

// A colour as red, green, blue and alpha in 0..1, as the screens' controllers name them; each
// toolkit converts it to its own.
struct Rgba {
  float red = 0;
  float green = 0;
  float blue = 0;
  float alpha = 1;
  friend bool operator==(const Rgba&, const Rgba&) = default;
};

}  // namespace kestrio
