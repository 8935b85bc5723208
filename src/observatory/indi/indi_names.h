#pragma once

// The names of the INDI telescope properties and elements the program uses,
// as the INDI standard properties spell them; each property is followed by
// its elements. INDI's own indistandardproperty.h keeps a few of these the
// same way, but not the telescope's.
namespace orvan::indi::names {

// CONNECTION | switch | CONNECT, DISCONNECT: the device's link to its mount.
inline constexpr const char* kConnection = "CONNECTION";
inline constexpr const char* kConnect = "CONNECT";
inline constexpr const char* kDisconnect = "DISCONNECT";

// EQUATORIAL_EOD_COORD | number | RA (hours), DEC (degrees): the mount's
// position, of the date; Busy while it slews.
inline constexpr const char* kEquatorialEodCoord = "EQUATORIAL_EOD_COORD";
inline constexpr const char* kRa = "RA";
inline constexpr const char* kDec = "DEC";

// ON_COORD_SET | switch | SLEW, TRACK, SYNC: what a new EQUATORIAL_EOD_COORD
// does (TRACK: slew, then track there; SYNC: take it as where the mount
// points, as a client does after a plate solve).
inline constexpr const char* kOnCoordSet = "ON_COORD_SET";
inline constexpr const char* kSlew = "SLEW";
inline constexpr const char* kTrack = "TRACK";
inline constexpr const char* kSync = "SYNC";

// TELESCOPE_TRACK_STATE | switch | TRACK_ON, TRACK_OFF.
inline constexpr const char* kTelescopeTrackState = "TELESCOPE_TRACK_STATE";
inline constexpr const char* kTrackOn = "TRACK_ON";
inline constexpr const char* kTrackOff = "TRACK_OFF";

// TELESCOPE_TRACK_MODE | switch | TRACK_SIDEREAL, ..., TRACK_CUSTOM.
inline constexpr const char* kTelescopeTrackMode = "TELESCOPE_TRACK_MODE";
inline constexpr const char* kTrackSidereal = "TRACK_SIDEREAL";
inline constexpr const char* kTrackCustom = "TRACK_CUSTOM";

// TELESCOPE_TRACK_RATE | number | TRACK_RATE_RA, TRACK_RATE_DE: the custom
// rates, arc-seconds per second, absolute.
inline constexpr const char* kTelescopeTrackRate = "TELESCOPE_TRACK_RATE";
inline constexpr const char* kTrackRateRa = "TRACK_RATE_RA";
inline constexpr const char* kTrackRateDe = "TRACK_RATE_DE";

// GUIDE_RATE | number | GUIDE_RATE_WE, GUIDE_RATE_NS: guide rates as
// fractions of the sidereal rate.
inline constexpr const char* kGuideRate = "GUIDE_RATE";
inline constexpr const char* kGuideRateWe = "GUIDE_RATE_WE";
inline constexpr const char* kGuideRateNs = "GUIDE_RATE_NS";

// TELESCOPE_TIMED_GUIDE_NS | number | TIMED_GUIDE_N, TIMED_GUIDE_S;
// TELESCOPE_TIMED_GUIDE_WE | number | TIMED_GUIDE_W, TIMED_GUIDE_E: pulses,
// milliseconds; Busy while one runs.
inline constexpr const char* kTelescopeTimedGuideNs = "TELESCOPE_TIMED_GUIDE_NS";
inline constexpr const char* kTimedGuideN = "TIMED_GUIDE_N";
inline constexpr const char* kTimedGuideS = "TIMED_GUIDE_S";
inline constexpr const char* kTelescopeTimedGuideWe = "TELESCOPE_TIMED_GUIDE_WE";
inline constexpr const char* kTimedGuideW = "TIMED_GUIDE_W";
inline constexpr const char* kTimedGuideE = "TIMED_GUIDE_E";

// GEOGRAPHIC_COORD | number | LAT, LONG (degrees, 0..360 east), ELEV (metres).
inline constexpr const char* kGeographicCoord = "GEOGRAPHIC_COORD";
inline constexpr const char* kLat = "LAT";
inline constexpr const char* kLong = "LONG";
inline constexpr const char* kElev = "ELEV";

// TELESCOPE_PIER_SIDE | switch | PIER_WEST, PIER_EAST: optional.
inline constexpr const char* kTelescopePierSide = "TELESCOPE_PIER_SIDE";
inline constexpr const char* kPierWest = "PIER_WEST";
inline constexpr const char* kPierEast = "PIER_EAST";

// The weather interface (a device of its own, --weather):
// WEATHER_PARAMETERS | number | WEATHER_TEMPERATURE (°C), WEATHER_PRESSURE
// or WEATHER_BAROMETER (hPa, at the station), WEATHER_HUMIDITY (%), among
// others the program does not use; a driver has those it has sensors for.
inline constexpr const char* kWeatherParameters = "WEATHER_PARAMETERS";
inline constexpr const char* kWeatherTemperature = "WEATHER_TEMPERATURE";
inline constexpr const char* kWeatherPressure = "WEATHER_PRESSURE";
inline constexpr const char* kWeatherBarometer = "WEATHER_BAROMETER";
inline constexpr const char* kWeatherHumidity = "WEATHER_HUMIDITY";

}  // namespace orvan::indi::names
