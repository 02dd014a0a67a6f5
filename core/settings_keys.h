// Section and key names of the settings file, byte for byte as the file holds them.
#pragma once

namespace settings_key {

// Sections.
inline constexpr char kSetup[] = "SETUP";
inline constexpr char kNetwork[] = "NETWORK";
inline constexpr char kNetworkSlotFormat[] = "NETWORK.%d";
inline constexpr char kTrusted[] = "TRUSTED";
inline constexpr char kPositions[] = "POSITIONS";
inline constexpr char kFlightPlan[] = "FLIGHT PLAN";
inline constexpr char kWeather[] = "WEATHER";

// [SETUP]
inline constexpr char kBase[] = "Base";
inline constexpr char kFlightPlanType[] = "FlightPlanType";
inline constexpr char kDefaultVfrSquawk[] = "DefaultVFRSquawk";
inline constexpr char kEnableWeather[] = "EnableWeather";
inline constexpr char kWeatherFromNoaa[] = "WeatherFromNoaa";
inline constexpr char kEnableSceneryAdjustHeight[] = "EnableSceneryAdjustHeight";
inline constexpr char kEnableMltpChatTextMessages[] = "EnableMltpChatTextMessages";
inline constexpr char kEnableAutomaticSyncDateTime[] = "EnableAutomaticSyncDateTime";
inline constexpr char kEnableMultiplayerOnStartUp[] = "EnableMultiplayerOnStartUp";
inline constexpr char kEnableSoundOnPrivateMsg[] = "EnableSoundOnPrivateMsg";
inline constexpr char kLanguage[] = "Language";
inline constexpr char kUploadBandWidth[] = "UploadBandWidth";
inline constexpr char kPackageOrder[] = "PackageOrder";
inline constexpr char kExcludedPlanes[] = "ExcludedPlanes";
inline constexpr char kTextureFollowCallsign[] = "TextureFollowCallsign";
inline constexpr char kUseFsuipc[] = "UseFsuipc";
inline constexpr char kAiQuality[] = "AIQuality";
inline constexpr char kVoiceKeys[] = "VoiceKeys";
inline constexpr char kVoiceInputLevel[] = "VoiceInputLevel";
inline constexpr char kVoiceOutputLevel[] = "VoiceOutputLevel";
inline constexpr char kVoiceJoystickButton[] = "VoiceJoystickButton";
inline constexpr char kVoiceJoystickNumber[] = "VoiceJoystickNumber";
inline constexpr char kVoiceInputDevice[] = "VoiceInputDevice";
inline constexpr char kVoiceOutputDevice[] = "VoiceOutputDevice";

// [NETWORK]
inline constexpr char kOrvenaPortNumber[] = "OrvenaPortNumber";
inline constexpr char kXplaneDllPortNumber[] = "XplaneDllPortNumber";
inline constexpr char kFsPortNumber[] = "FsPortNumber";
inline constexpr char kLanIpAddress[] = "LanIpAddress";
inline constexpr char kNcssLanIpAddress[] = "NCSSLanIpAddress";

// [NETWORK.%d]
inline constexpr char kWebsite[] = "Website";
inline constexpr char kPagePath[] = "PagePath";
inline constexpr char kPilotId[] = "PilotID";
inline constexpr char kPilotPassword[] = "PilotPW";

// [TRUSTED]
inline constexpr char kTrustedAddressFormat[] = "IP%d";

// [POSITIONS]: a window's prefix followed by one of the four sides.
inline constexpr char kMainPosition[] = "Main";
inline constexpr char kChatPosition[] = "Chat";
inline constexpr char kLocatePosition[] = "Locate";
inline constexpr char kPositionLeft[] = "PositionLeft";
inline constexpr char kPositionTop[] = "PositionTop";
inline constexpr char kPositionRight[] = "PositionRight";
inline constexpr char kPositionBottom[] = "PositionBottom";

// [FLIGHT PLAN] ("Depature" is how the file spells it).
inline constexpr char kCallSign[] = "CallSign";
inline constexpr char kFlightType[] = "Flight_Type";
inline constexpr char kAircraftType[] = "Aircraft_Type";
inline constexpr char kAircraftIndex[] = "Aircraft_Index";
inline constexpr char kCruiseSpeed[] = "Cruise_Speed";
inline constexpr char kNumberAboard[] = "NumberAboard";
inline constexpr char kDepartureAirport[] = "Departure_Airport";
inline constexpr char kDepartureHoursProposed[] = "Depature_Hours_Proposed";
inline constexpr char kDepartureMinutesProposed[] = "Depature_Minutes_Proposed";
inline constexpr char kDepartureHoursActual[] = "Depature_Hours_Actual";
inline constexpr char kDepartureMinutesActual[] = "Depature_Minutes_Actual";
inline constexpr char kFlightLevelAltitude[] = "Flight_Level_Altitude";
inline constexpr char kDestinationAirport[] = "Destination_Airport";
inline constexpr char kEnrouteHours[] = "Enroute_Hours";
inline constexpr char kEnrouteMinutes[] = "Enroute_Minutes";
inline constexpr char kFuelHours[] = "Fuel_Hours";
inline constexpr char kFuelMinutes[] = "Fuel_Minutes";
inline constexpr char kAlternateAirport[] = "Alternate_Airport";
inline constexpr char kRoute[] = "Route";
inline constexpr char kRemarks[] = "Remarks";

// [WEATHER]
inline constexpr char kUrl[] = "url";
inline constexpr char kOffset[] = "offset";

}  // namespace settings_key
