// make_point_csv: a point CSV of a night's plate solves on a mount with known
// terms (fit/synthetic_night.h), for the tool's tests and the README's
// picture.
//
//   make_point_csv LATITUDE LONGITUDE NOISE_ARCSEC SEED POINTS > points.csv
#include <cstdio>
#include <cstdlib>

#include "fit/synthetic_night.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: make_point_csv LATITUDE LONGITUDE NOISE_ARCSEC SEED POINTS\n");
    return 2;
  }
  const std::string csv = orvan::model::synthetic::NightOfPoints(
      std::atof(argv[1]), std::atof(argv[2]), std::atof(argv[3]),
      static_cast<unsigned>(std::atol(argv[4])), std::atoi(argv[5]));
  std::fputs(csv.c_str(), stdout);
  return 0;
}
