#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The cycle log's columns, for the program that writes the log and the tool
// that reads it (docs/log-format.md).
namespace orvan::tracking {

enum LogColumn : std::size_t {
  kTime,
  kEvent,
  kStatus,
  kTargetRa,
  kTargetDec,
  kCurrentRa,
  kCurrentDec,
  kTargetScopeRa,
  kTargetScopeDec,
  kCurrentScopeRa,
  kCurrentScopeDec,
  kErrorRaArcsec,
  kErrorDecArcsec,
  kThresholdArcsec,
  kRaPulse,
  kRaPulseMs,
  kDecPulse,
  kDecPulseMs,
  kErrorNumber,
  kErrorText,
  kPierSide,
  kAirTemperatureC,
  kAirPressureHpa,
  kAirHumidityPercent,
  kFrameFile,
  kFrameMid,
  kFrameDriftRaArcsec,
  kFrameDriftDecArcsec,
  kFrameAction,
  kLogColumns
};

inline constexpr std::array<std::string_view, kLogColumns> kLogColumnNames = {
    "time",
    "event",
    "status",
    "target_ra",
    "target_dec",
    "current_ra",
    "current_dec",
    "target_scope_ra",
    "target_scope_dec",
    "current_scope_ra",
    "current_scope_dec",
    "error_ra_arcsec",
    "error_dec_arcsec",
    "threshold_arcsec",
    "ra_pulse",
    "ra_pulse_ms",
    "dec_pulse",
    "dec_pulse_ms",
    "error_number",
    "error_text",
    "pier_side",
    "air_temperature_c",
    "air_pressure_hpa",
    "air_humidity_percent",
    "frame_file",
    "frame_mid",
    "frame_drift_ra_arcsec",
    "frame_drift_dec_arcsec",
    "frame_action"};

// The header line: the names, separated by commas.
inline constexpr std::string_view kLogHeader =
    "time,event,status,target_ra,target_dec,current_ra,current_dec,target_scope_ra,"
    "target_scope_dec,current_scope_ra,current_scope_dec,error_ra_arcsec,error_dec_arcsec,"
    "threshold_arcsec,ra_pulse,ra_pulse_ms,dec_pulse,dec_pulse_ms,error_number,error_text,pier_"
    "side,air_temperature_c,air_pressure_hpa,air_humidity_percent,frame_file,frame_mid,frame_drift_"
    "ra_arcsec,frame_drift_dec_arcsec,frame_action";
inline constexpr std::string_view kLogLineEnd = "\r\n";

// The columns of the versions before, which had no frame columns, before
// that no air columns, and before that no pier_side: a reader still takes
// their sections.
inline constexpr std::size_t kLogColumnsWithoutFrames = kFrameFile;
inline constexpr std::size_t kLogColumnsWithoutAir = kAirTemperatureC;
inline constexpr std::size_t kLogColumnsWithoutSide = kPierSide;

}  // namespace orvan::tracking
