// Writes an INDI alignment database with libindi's own alignment code, for
// the point reader's tests: the file as a driver saves it.
//
//   indi_alignment_writer HOME DEVICE LATITUDE LONGITUDE [JD RA DEC HA MOUNT_DEC]...
//
// Each sync point: the observation's Julian date, the sky position synced to
// (hours, degrees) and the mount's local hour angle and declination, which
// libindi turns into the telescope direction vector as an equatorial mount
// does. The file goes where libindi puts it: HOME/.indi/DEVICE_alignment_database.xml.
#include <alignment/InMemoryDatabase.h>
#include <alignment/TelescopeDirectionVectorSupportFunctions.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kFixedArguments = 5;
constexpr int kPerSyncPoint = 5;

struct Vectors : INDI::AlignmentSubsystem::TelescopeDirectionVectorSupportFunctions {};

}  // namespace

int main(int argc, char** argv) {
  if (argc < kFixedArguments || (argc - kFixedArguments) % kPerSyncPoint != 0) {
    std::fprintf(stderr, "usage: %s HOME DEVICE LATITUDE LONGITUDE [JD RA DEC HA MOUNT_DEC]...\n",
                 argv[0]);
    return 2;
  }
  setenv("HOME", argv[1], 1);
  INDI::AlignmentSubsystem::InMemoryDatabase database;
  database.SetDatabaseReferencePosition(std::stod(argv[3]), std::stod(argv[4]));
  Vectors vectors;
  for (int i = kFixedArguments; i < argc; i += kPerSyncPoint) {
    INDI::AlignmentSubsystem::AlignmentDatabaseEntry entry;
    entry.ObservationJulianDate = std::stod(argv[i]);
    entry.RightAscension = std::stod(argv[i + 1]);
    entry.Declination = std::stod(argv[i + 2]);
    INDI::IEquatorialCoordinates mount{std::stod(argv[i + 3]), std::stod(argv[i + 4])};
    entry.TelescopeDirection = vectors.TelescopeDirectionVectorFromLocalHourAngleDeclination(mount);
    database.GetAlignmentDatabase().push_back(entry);
  }
  return database.SaveDatabase(argv[2]) ? 0 : 1;
}
