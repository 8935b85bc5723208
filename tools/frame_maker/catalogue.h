#pragma once

#include <string>
#include <vector>

#include "framemaker/star_field.h"
#include "pointing/sky.h"

// Real stars for a field: Tycho-2 as astrometry.net's index files hold it,
// read by its query-starkd.
namespace orvan::framemaker {

struct CatalogueConfig {
  // Every "index-tycho2-*.fits" in this folder is asked; each holds a
  // different share of the catalogue's stars (the finest scale the most).
  std::string index_dir = "/usr/share/astrometry";
  std::string program = "query-starkd";
};

// The stars within `radius_deg` of `center_j2000` (hours, degrees), with
// their Tycho VT magnitudes, each once. Asked of the index files for a
// somewhat larger circle than asked and kept, so that later fields inside
// that circle are answered without asking again (safe from any thread).
// Empty, with `error` naming the cause, when the files or the program fail.
// The index files leave out stars Tycho-2 itself lacks (Alcyone, among
// other bright ones) and thin the rest to a few dozen a square degree.
std::vector<Star> CatalogueStars(pointing::RaDec center_j2000, double radius_deg,
                                 std::string& error);
std::vector<Star> CatalogueStars(pointing::RaDec center_j2000, double radius_deg,
                                 const CatalogueConfig& config, std::string& error);

}  // namespace orvan::framemaker
