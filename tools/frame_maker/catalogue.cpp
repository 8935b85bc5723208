#include "catalogue.h"

#include <dirent.h>
#include <fcntl.h>
#include <fitsio.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

#include "support/temp_folder.h"
#include "support/units.h"

extern char** environ;

namespace orvan::framemaker {
namespace {

// A field is asked for this much wider than wanted, so that a run of frames
// near one place asks once.
constexpr double kCacheMarginDeg = 0.5;
// Stars closer than this in two index files are the same star.
constexpr double kSameStarDeg = 0.1 / 3600;
constexpr char kIndexPrefix[] = "index-tycho2-";
constexpr char kIndexSuffix[] = ".fits";

struct Field {
  std::string index_dir;
  pointing::RaDec center;
  double radius_deg;
  std::vector<Star> stars;
};

std::string Describe(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// The index files in `dir`, in name order.
std::vector<std::string> IndexFiles(const std::string& dir, std::string& error) {
  DIR* folder = opendir(dir.c_str());
  if (folder == nullptr) {
    error = "cannot read " + dir + ": " + std::strerror(errno);
    return {};
  }
  std::vector<std::string> files;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name.starts_with(kIndexPrefix) && name.ends_with(kIndexSuffix)) {
      files.push_back(dir + "/" + name);
    }
  }
  closedir(folder);
  std::sort(files.begin(), files.end());
  if (files.empty()) error = "no " + std::string(kIndexPrefix) + "*.fits index files in " + dir;
  return files;
}

// The last line the program wrote, to say why it failed.
std::string LastLine(const std::string& log_path) {
  std::ifstream log(log_path);
  std::string line, last;
  while (std::getline(log, line)) {
    if (!line.empty()) last = line;
  }
  return last.empty() ? "no message" : last;
}

// Runs `args` with its output to `log_path`; false, with `error`, unless it
// exits with status 0.
bool Run(const std::vector<std::string>& args, const std::string& log_path, std::string& error) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    error = "cannot run " + args[0] + ": " + std::strerror(spawned);
    return false;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      error = "cannot wait for " + args[0] + ": " + std::strerror(errno);
      return false;
    }
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error = args[0] +
          (WIFEXITED(status) ? " failed (exit " + std::to_string(WEXITSTATUS(status))
                             : " killed (signal " + std::to_string(WTERMSIG(status))) +
          "): " + LastLine(log_path);
  return false;
}

// Appends the stars of query-starkd's table at `path` (RA, DEC, MAG_VT);
// it writes none when it finds no star.
bool ReadTable(const std::string& path, std::vector<Star>& stars, std::string& error) {
  if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) return true;
  fitsfile* file = nullptr;
  int status = 0;
  int hdu_type = 0;
  int ra_column = 0, dec_column = 0, mag_column = 0;
  long rows = 0;
  fits_open_diskfile(&file, path.c_str(), READONLY, &status);
  fits_movabs_hdu(file, 2, &hdu_type, &status);
  fits_get_colnum(file, CASEINSEN, const_cast<char*>("RA"), &ra_column, &status);
  fits_get_colnum(file, CASEINSEN, const_cast<char*>("DEC"), &dec_column, &status);
  fits_get_colnum(file, CASEINSEN, const_cast<char*>("MAG_VT"), &mag_column, &status);
  fits_get_num_rows(file, &rows, &status);
  std::vector<double> ra(rows), dec(rows), mag(rows);
  if (status == 0 && rows > 0) {
    fits_read_col(file, TDOUBLE, ra_column, 1, 1, rows, nullptr, ra.data(), nullptr, &status);
    fits_read_col(file, TDOUBLE, dec_column, 1, 1, rows, nullptr, dec.data(), nullptr, &status);
    fits_read_col(file, TDOUBLE, mag_column, 1, 1, rows, nullptr, mag.data(), nullptr, &status);
  }
  const int read = status;
  if (file != nullptr) fits_close_file(file, &status);
  if (read != 0) {
    char text[FLEN_STATUS] = "";
    fits_get_errstatus(read, text);
    error = "cannot read the star table query-starkd wrote: " + std::string(text);
    return false;
  }
  for (long i = 0; i < rows; ++i) {
    if (!std::isfinite(ra[i]) || !std::isfinite(dec[i]) || !std::isfinite(mag[i]) ||
        std::fabs(dec[i]) > 90) {
      error = "query-starkd's table has a row that is no star (row " + std::to_string(i + 1) + ")";
      return false;
    }
    stars.push_back({ra[i], dec[i], mag[i]});
  }
  return true;
}

// Each star once: the index files share their brightest stars.
std::vector<Star> Unique(std::vector<Star> stars) {
  std::sort(stars.begin(), stars.end(),
            [](const Star& a, const Star& b) { return a.dec_deg < b.dec_deg; });
  std::vector<Star> unique;
  for (const Star& star : stars) {
    bool seen = false;
    // Back through the stars kept, as far as they are near in declination.
    for (std::size_t k = unique.size(); k-- > 0;) {
      const Star& kept = unique[k];
      if (star.dec_deg - kept.dec_deg > kSameStarDeg) break;
      if (pointing::SeparationDeg({star.ra_deg / kDegreesPerHour, star.dec_deg},
                                  {kept.ra_deg / kDegreesPerHour, kept.dec_deg}) <= kSameStarDeg) {
        seen = true;
        break;
      }
    }
    if (!seen) unique.push_back(star);
  }
  return unique;
}

// Every index file's stars within `radius_deg` of `center`.
bool Query(const CatalogueConfig& config, pointing::RaDec center, double radius_deg,
           std::vector<Star>& stars, std::string& error) {
  const std::vector<std::string> indexes = IndexFiles(config.index_dir, error);
  if (indexes.empty()) return false;
  const TempFolder dir("stars");
  if (dir.path().empty()) {
    error = dir.error();
    return false;
  }
  const std::string table = dir.File("stars.fits"), log = dir.File("query.log");
  std::vector<Star> found;
  bool ok = true;
  for (const std::string& index : indexes) {
    ok = Run({config.program, "-o", table, "-r", Describe(center.ra * kDegreesPerHour), "-d",
              Describe(center.dec), "-R", Describe(radius_deg), "-t", "MAG_VT", index},
             log, error) &&
         ReadTable(table, found, error);
    std::remove(table.c_str());
    if (!ok) {
      error = index + ": " + error;
      break;
    }
  }
  if (ok) stars = Unique(std::move(found));
  return ok;
}

}  // namespace

std::vector<Star> CatalogueStars(pointing::RaDec center_j2000, double radius_deg,
                                 std::string& error) {
  return CatalogueStars(center_j2000, radius_deg, CatalogueConfig{}, error);
}

std::vector<Star> CatalogueStars(pointing::RaDec center_j2000, double radius_deg,
                                 const CatalogueConfig& config, std::string& error) {
  if (!std::isfinite(center_j2000.ra) || !std::isfinite(center_j2000.dec) ||
      std::fabs(center_j2000.dec) > 90 || !std::isfinite(radius_deg) || radius_deg <= 0 ||
      radius_deg > 90) {
    error = "no such field: centre off the sky or radius not between 0 and 90 degrees";
    return {};
  }
  static std::mutex mutex;
  static std::vector<Field> fields;
  const std::lock_guard<std::mutex> lock(mutex);
  auto field = std::find_if(fields.begin(), fields.end(), [&](const Field& f) {
    return f.index_dir == config.index_dir &&
           pointing::SeparationDeg(f.center, center_j2000) + radius_deg <= f.radius_deg;
  });
  if (field == fields.end()) {
    Field asked{config.index_dir, center_j2000, radius_deg + kCacheMarginDeg, {}};
    if (!Query(config, asked.center, asked.radius_deg, asked.stars, error)) return {};
    fields.push_back(std::move(asked));
    field = fields.end() - 1;
  }
  std::vector<Star> stars;
  for (const Star& star : field->stars) {
    if (pointing::SeparationDeg({star.ra_deg / kDegreesPerHour, star.dec_deg}, center_j2000) <=
        radius_deg) {
      stars.push_back(star);
    }
  }
  error.clear();
  return stars;
}

}  // namespace orvan::framemaker
