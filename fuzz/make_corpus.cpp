// Writes the seed inputs of every fuzz target into <folder>/<target>/: the
// records and frames the stand-ins write (testbed/ and the record writers
// they share with the client), the sample data files of res/data, and small
// files of each format the client reads.
//   make_corpus <folder> <res/data folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "base/lz77.h"
#include "core/flight_plan_record.h"
#include "net/compressed_record.h"
#include "net/controller_records.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "net/node_records.h"
#include "net/pilot_records.h"
#include "net/text_records.h"
#include "testbed/addon_standin.h"
#include "testbed/plugin_records.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

fs::path g_root;

void Seed(const char* target, const std::string& name, const Bytes& bytes) {
  const fs::path folder = g_root / target;
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }
template <typename Range>
Bytes ToBytes(const Range& range) {
  return Bytes(std::begin(range), std::end(range));
}
Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
// The first bytes of a file, so that seeds stay small.
Bytes FileStart(const fs::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  Bytes bytes(limit);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

Bytes Frame(std::uint8_t type, std::uint8_t subCode, const Bytes& body, std::uint32_t sync = FRAME_SYNC_NETWORK) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  return BuildFrame(sync, header, body);
}

// Packed as the stand-ins pack their records: the codec's encoder, the record
// wrapper's two words, the compressed flag.
Bytes PackedFrame(std::uint8_t type, std::uint8_t subCode, const Bytes& record) {
  Bytes packed(LzMaxPackedSize(static_cast<std::uint32_t>(record.size())));
  std::vector<std::uint32_t> work(LzWorkAreaWords(record.size()));
  packed.resize(LzEncode(record, packed, work));
  Bytes body(kCompressedRecordPrefixSize);
  PutU32(body.data(), static_cast<std::uint32_t>(record.size()));
  PutU32(body.data() + 4, static_cast<std::uint32_t>(packed.size()));
  body.insert(body.end(), packed.begin(), packed.end());
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  header.flags = kFrameFlagCompressed;
  return BuildFrame(FRAME_SYNC_NETWORK, header, body);
}

Bytes Prefixed(std::initializer_list<std::uint8_t> prefix, const Bytes& bytes) {
  Bytes all(prefix);
  all.insert(all.end(), bytes.begin(), bytes.end());
  return all;
}

void NetworkSeeds() {
  LoginRecord login;
  login.identity.callsign = "DEMO01";
  LoginAckRecord ack;
  ack.identity.callsign = "DEMO01";
  ack.serverName = "Stand-in node";
  ack.serverComments = "Welcome";
  PilotLoginRecord pilot;
  pilot.login.identity.callsign = "DEMO02";
  AtcLoginRecord atc;
  atc.identity.callsign = "LFPG_TWR";
  TextOnAirRecord text;
  text.sender = "DEMO02";
  text.text = "hello";

  const Bytes nodeStream = Join({BuildLoginAckFrame(ack), Frame(kNcsMsgHeaderOnly, 0, {}),
                                 Frame(NCSMSG_STANDARD, 56, ToBytes(WriteServerTextRecord(ServerTextRecord{}))),
                                 Frame(kNcsMsgTextAttributes, NCSUB_SETATTRIB, WriteSetAttribBody("bold")),
                                 Frame(NCSMSG_TRUSTED_IP, 0, ToBytes(WriteTrustedIpRecord(0x0100007F))),
                                 Frame(NCSMSG_TEXT_ON_AIR, 0, ToBytes(WriteTextOnAirRecord(text)))});
  const Bytes pilotStream = Join({PackedFrame(NCSMSG_PILOT, NCSUB_LOGIN, ToBytes(WritePilotLoginRecord(pilot))),
                                  Frame(NCSMSG_PILOT, NCSUB_PEER_ADDED, {}),
                                  PackedFrame(NCSMSG_PILOT, NCSUB_PILOT_CHANGES_COMM,
                                              ToBytes(WritePilotChangesComm(PilotChangesComm{"122.80", "121.50", 1}))),
                                  Frame(NCSMSG_PILOT, NCSUB_CANCEL_LINK, Bytes{0, 0, 0, 0})});
  const Bytes atcStream = Join({PackedFrame(NCSMSG_ATC, NCSUB_LOGIN, ToBytes(WriteAtcLoginRecord(atc))),
                                Frame(NCSMSG_ATC, NCSUB_A2P_MSG_RATE,
                                      ToBytes(WriteMessageRateRecord(MessageRateRecord{}))),
                                Frame(NCSMSG_ATC, NCSUB_ATIS, ToBytes(WriteAtisRecord(AtisRecord{})))});
  const Bytes callerStream = Join({Frame(NCSMSG_OPEN_PORT_TEST, 0, {}), BuildLoginFrame(login)});

  Seed("fuzz_frames", "node", Prefixed({0, 0}, nodeStream));
  Seed("fuzz_frames", "pilot", Prefixed({1, 5}, pilotStream));
  Seed("fuzz_frames", "addon", Prefixed({0, 3}, Frame(1, 2, Text("add-on"), AddonFrameMagic)));
  // The way target's first byte: kind (0 node, 1 pilot, 2 controller, 3 caller), session, logged in, trusted.
  for (const std::uint8_t flags : {0x00, 0x1C}) {
    const std::string suffix = flags == 0 ? "_closed" : "_open";
    Seed("fuzz_way", "node" + suffix, Prefixed({static_cast<std::uint8_t>(0 | flags), 255}, nodeStream));
    Seed("fuzz_way", "pilot" + suffix, Prefixed({static_cast<std::uint8_t>(1 | flags), 255}, pilotStream));
    Seed("fuzz_way", "controller" + suffix, Prefixed({static_cast<std::uint8_t>(2 | flags), 255}, atcStream));
    Seed("fuzz_way", "caller_pilot" + suffix, Prefixed({static_cast<std::uint8_t>(3 | flags), 7}, pilotStream));
    Seed("fuzz_way", "caller_node" + suffix, Prefixed({static_cast<std::uint8_t>(3 | flags), 255}, callerStream));
  }

  Seed("fuzz_lz77", "pilot_login", PackedFrame(NCSMSG_PILOT, NCSUB_LOGIN, ToBytes(WritePilotLoginRecord(pilot))));
  Seed("fuzz_lz77", "text", Text("abcabcabcabcabcabc hello hello hello"));
}

void PluginSeeds() {
  using namespace plugin_link;
  constexpr std::uint8_t kXtkFrameType = kXtkRecordType;
  constexpr std::uint8_t kXtkTraceFrameType = 10;
  const FlightScript flight = DemoFlight();
  const FlightSample sample = flight.At(3);
  const auto xtk = [](std::uint8_t code, const Bytes& body) { return Frame(kXtkFrameType, code, body); };
  const std::vector<std::string> titles = {"Laminar Research\\Cessna 172SP\\Cessna_172SP.acf"};
  const Bytes stream = Join({xtk(XTK_MSG_DLL_INFOS, ToBytes(WriteDllInfos(DllInfos{}))),
                             xtk(XTK_MSG_PLANE_DATASET1, ToBytes(WriteDataSet1(sample))),
                             xtk(XTK_MSG_PLANE_DATASET2, ToBytes(WriteDataSet2(sample))),
                             xtk(XTK_MSG_PLANE_DATASET3, ToBytes(WriteDataSet3(sample))),
                             xtk(XTK_MSG_PLANE_DATASET4, ToBytes(WriteDataSet4(sample))),
                             xtk(XTK_MSG_USER_AIRCRAFT_LOADED, WriteUserAircraftLoaded(titles[0])),
                             xtk(XTK_MSG_ACF_TABLE, ToBytes(WriteAcfTable(0, 1, 0, titles))),
                             xtk(XTK_MSG_ADDPEER_CALLBACK, ToBytes(WriteAddPeerCallback(0, 1, 0))),
                             xtk(XTK_MSG_REMOVEPEER_CALLBACK, ToBytes(WriteRemovePeerCallback(0))),
                             Frame(kXtkTraceFrameType, 0, WriteTraceText("plug-in trace"))});
  Seed("fuzz_plugin_link", "session_open", Prefixed({1}, stream));
  Seed("fuzz_plugin_link", "session_closed", Prefixed({0x20}, stream));
  Seed("fuzz_frames", "plugin", Prefixed({0, 11}, stream));
}

void FileSeeds(const fs::path& data) {
  Seed("fuzz_data_files", "airports", Prefixed({0}, FileStart(data / "data.xtk", 1'600)));
  Seed("fuzz_data_files", "airlines", Prefixed({1}, FileStart(data / "tk_airlines.txt", 2'000)));
  Seed("fuzz_data_files", "aircraft_types", Prefixed({2}, FileStart(data / "tk_aircrafts.txt", 3'000)));
  Seed("fuzz_data_files", "iata", Prefixed({3}, FileStart(data / "IATA_ICAO.txt", 3'000)));

  Seed("fuzz_rules", "rules",
       Text("; the pilot's rules\r\n[LOCAL_AIRCRAFTS]\r\n001=Cessna{{C172,ABC}}\r\n002=B738.acf{{B739}}\r\n"
            "[REMOTE_AIRCRAFTS]\r\nBOEING=Heavy Metal\\B738\\B738.acf{{Laminar Research\\Cessna 172SP\\"
            "Cessna_172SP.acf}}\r\n[REMOTE_DEFAULT]\r\nL2J=Heavy Metal\\B738\\B738.acf\r\n\r\n"));
  const Bytes settings = Text(
      "[SETUP]\r\nLanguage=0\r\nVoiceJoystickNumber=1\r\n[NETWORK]\r\nFsPortNumber=55007\r\n"
      "[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=demo\r\nPilotPW=demo\r\n"
      "[TRUSTED]\r\nIP1=127.0.0.1\r\n[FLIGHT PLAN]\r\nCallSign=DEMO01\r\nRoute=DCT\r\n"
      "[MAIN]\r\nX=10\r\nY=20\r\n");
  Seed("fuzz_ini", "settings", settings);
  Seed("fuzz_ini", "odd_names", Text("[ OFS_X ]\r\n SIM0 = 1,2\r\n;comment\r\n[a]b]\r\nk=\"quoted\"\r\n"));
  Seed("fuzz_offsets", "offsets",
       Prefixed({0}, Text("[OFS_LFPG]\r\nSIM0=XP10,FSX,0.0001,-0.0002,12.5,1.5\r\n"
                          "SIM1=XP10,P3D,0,0,0,0\r\nSIM2=XP9,FS,0.000001,0,-3,179.9\r\n")));

  FlightPlanRecord plan;
  Seed("fuzz_flight_plan", "plan", Prefixed({0}, ToBytes(WriteFlightPlanRecord(plan))));
  Seed("fuzz_flight_plan", "route",
       Prefixed({1}, Text("[DEPARTURE]\r\nID=LFPG\r\n[ARRIVAL]\r\nID=EGLL\r\n[WAYPOINT_1]\r\nID=ABB\r\n"
                          "[WAYPOINT_2]\r\nID=\r\nNAME=x\r\n[WAYPOINT_3]\r\nID=BIG\r\n")));
  Seed("fuzz_flight_plan", "settings", Prefixed({2}, settings));

  Seed("fuzz_web_page", "hub_list",
       Prefixed({3, 36}, Text("<html>\r\nFROMWEBSITE_START\r\nMYIP=192.0.2.7\r\nHUB=127.0.0.1:6809\r\n"
                              "FROMWEBSITE_END\r\n</html>\r\n")));
  Seed("fuzz_automation", "requests",
       Prefixed({4}, Text("dump\ntext 7055 7107\nclick 7055 7212\nsettext 7055 7100 a\\tb\nboxes\n"
                          "timer 7055 555 65\nquit\n\\x\n")));
}

}  // namespace

// The add-on stand-in's frames: its whole session, and each of its faults.
void AddonSeeds() {
  const AddonStandinScript script;
  AddonStandinScript nameless = script;
  nameless.name.clear();
  const Bytes session =
      Join({AddonLoginFrame(script), AddonCommonFrame(3), AddonCommonFrame(11), AddonCommonFrame(4),
            AddonCommonFrame(12), AddonDynamicsRequestFrame(1, ""), AddonDynamicsRequestFrame(1, "FUZZ01"),
            AddonAiRequestFrame(1), AddonAiRequestFrame(2), AddonLogoutFrame()});
  // The target's first byte: session, logged in already, login trace, add-on trace.
  Seed("fuzz_addon", "session", Prefixed({0x0D, 255}, session));
  Seed("fuzz_addon", "session_pieces", Prefixed({0x01, 2}, session));
  Seed("fuzz_addon", "before_login", Prefixed({0x0C, 255}, Join({AddonCommonFrame(4), AddonLoginFrame(script)})));
  Seed("fuzz_addon", "empty_name", Prefixed({0x0C, 255}, AddonLoginFrame(nameless)));
  Seed("fuzz_addon", "unknown_code", Prefixed({0x02, 255}, AddonRawFrame(0x41, 0, {})));
  Seed("fuzz_addon", "short_body", Prefixed({0x0C, 255}, AddonRawFrame(DS_CMD_LOGIN, 0, Bytes(40, 'x'))));
  Seed("fuzz_addon", "lists", Prefixed({0x0B, 255}, Join({AddonAiRequestFrame(1), AddonAiRequestFrame(2)})));
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_corpus <folder> <res/data folder>\n");
    return 2;
  }
  g_root = argv[1];
  NetworkSeeds();
  AddonSeeds();
  PluginSeeds();
  FileSeeds(argv[2]);
  return 0;
}
