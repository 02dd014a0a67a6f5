// The real program in a demo tree, logged in to the stand-in network: a flight
// plan typed into the ICAO form through automation is saved to a plan file,
// loaded back and saved again, and the records (the files' bytes and the plan
// the node receives) are compared, never the forms.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/flight_plan_record.h"
#include "e2e_client_fixture.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/node_records.h"

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

FlightPlanRecordBytes AsRecordBytes(const std::string& bytes) {
  FlightPlanRecordBytes record{};
  for (std::size_t i = 0; i < record.size() && i < bytes.size(); ++i) record[i] = static_cast<std::uint8_t>(bytes[i]);
  return record;
}

std::uint32_t U32At(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return value;
}

std::string TextAt(const std::string& bytes, std::size_t offset, std::size_t size) {
  const std::string field = bytes.substr(offset, size);
  return field.substr(0, field.find('\0'));
}

class FlightPlanEndToEnd : public ClientEndToEnd {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ClientEndToEnd::SetUp());
    // FlightPlanType 1: the main menu opens the ICAO form.
    AppendSettings("[SETUP]\r\nFlightPlanType=1\r\n");
  }

  std::string Text(int control) {
    const auto answer = automation_.Request("text 7027 " + std::to_string(control));
    if (answer.size() == 2 && answer.back() == "ok") return answer.front();
    std::string failed = "<";
    failed += JoinedLines(answer);
    failed += '>';
    return failed;
  }

  std::vector<Frame> PlanFrames() const {
    std::vector<Frame> plans;
    for (const Frame& frame : node_.Frames()) {
      if (frame.header.type == NCSMSG_PILOT && frame.header.subCode == NCSUB_FLIGHT_PLAN) plans.push_back(frame);
    }
    return plans;
  }
};

TEST_F(FlightPlanEndToEnd, APlanSavedToAFileLoadsBackIntoTheSameRecordAndGoesToTheNode) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_TRUE(Shows("You have joined your session.")) << client_->Stderr();
  PressConnect();
  ASSERT_NE(DumpUntil("text=0p  0a\n").find("text=0p  0a\n"), std::string::npos) << client_->Stderr();

  // The start-up plan has no flight rules: the menu's send command sends nothing.
  Ask("command 7055 32790");
  EXPECT_EQ(JoinedLines(automation_.Request("runs 7057 7005")).find("sent."), std::string::npos);

  // The plan typed in: IFR, the list's fourth line (an A320), every field.
  Ask("command 7055 32788");
  ASSERT_NE(DumpUntil("window 7027 visible=1").find("window 7027 visible=1"), std::string::npos);
  Ask("select 7027 7072 1");
  Ask("select 7027 7062 3");
  const std::pair<int, const char*> fields[] = {
      {7039, "450"},  {7057, "150"},   {7040, "LFPG"},  {7041, "09"},   {7042, "30"},
      {7043, "09"},   {7044, "45"},    {7045, "FL350"}, {7047, "EGLL"}, {7048, "01"},
      {7049, "10"},   {7051, "03"},    {7052, "00"},    {7053, "LFPO"}, {7050, "RMK:TCAS\\r\\nPBN"},
      {7046, "ABB UL612 BIG"}};
  for (const auto& [control, text] : fields) Ask("settext 7027 " + std::to_string(control) + " " + text);

  // Saved under a bare name: the file lies in the flight-plans folder, with the extension.
  Ask("filedialog ifr");
  Ask("click 7027 7096");
  const std::string first = program_ + "/FlightPlans/ifr.tkp";
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return FileBytes(first).size() == kFlightPlanRecordSize; }))
      << JoinedLines(automation_.Request("filedialogs")) << client_->Stderr();
  const std::string saved = FileBytes(first);
  EXPECT_EQ(TextAt(saved, 8, 8), "A320");
  EXPECT_EQ(U32At(saved, 16), 3u);
  EXPECT_EQ(TextAt(saved, 20, 2), "I");
  EXPECT_EQ(TextAt(saved, 24, 64), "FL350");
  EXPECT_EQ(U32At(saved, 88), 450u);
  EXPECT_EQ(TextAt(saved, 96, 5), "LFPG");
  EXPECT_EQ(TextAt(saved, 101, 5), "EGLL");
  EXPECT_EQ(TextAt(saved, 106, 5), "LFPO");
  const std::uint32_t times[] = {9, 30, 9, 45, 1, 10, 3, 0};
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(U32At(saved, 112 + 4 * i), times[i]) << "time word " << i;
  EXPECT_EQ(TextAt(saved, 144, 1024), "RMK;TCAS%&PBN") << "the remarks as the protocol writes them";
  EXPECT_EQ(TextAt(saved, 1168, 1024), "ABB UL612 BIG");
  EXPECT_EQ(U32At(saved, 2192), 150u);
  EXPECT_EQ(saved.substr(0, 8), std::string(8, '\0'));
  EXPECT_EQ(saved.substr(2196), std::string(132, '\0'));
  const std::string listing = JoinedLines(automation_.Request("filedialogs"));
  EXPECT_NE(listing.find("filedialog save .tkp\tTKP Files (*.tkp)|*.tkp|All Files (*.*)|*.*||\t" + program_ +
                         "/FlightPlans\t" + first),
            std::string::npos)
      << listing;

  // The form cleared, then the file loaded: the form shows the record as it stands.
  Ask("click 7027 7098");
  EXPECT_EQ(Text(7040), "");
  Ask("filedialog " + first);
  Ask("click 7027 7095");
  EXPECT_EQ(Text(7040), "LFPG");
  EXPECT_EQ(Text(7050), "RMK;TCAS%&PBN");

  // Saved again from the loaded plan: the same bytes.
  Ask("filedialog " + tree_.Path() + "/again.tkp");
  Ask("click 7027 7096");
  const std::string second = tree_.Path() + "/again.tkp";
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return FileBytes(second).size() == kFlightPlanRecordSize; }));
  EXPECT_EQ(FileBytes(second), saved);

  // Nothing went to the node before the plan was loaded, neither after the login nor by
  // the menu; now the menu's send command sends the loaded record as it is.
  EXPECT_TRUE(PlanFrames().empty());
  Ask("command 7055 32790");
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return PlanFrames().size() == 1; })) << client_->Stderr();
  const FlightPlanPacketBytes expected = WriteFlightPlanPacket("TEST01", AsRecordBytes(saved));
  FlightPlanPacketBytes packet{};
  ASSERT_EQ(UnpackCompressedRecord(PlanFrames().back().body, packet), kRecordOk);
  EXPECT_EQ(packet, expected);
  EXPECT_NE(DumpUntil("sent.").find("Flight Plan "), std::string::npos);

  // Every login sends it again.
  ASSERT_TRUE(node_.DropLink());
  ASSERT_NE(DumpUntil("Reconnecting in 65 seconds").find("Reconnecting in 65 seconds"), std::string::npos);
  Ask("timer 7055 555 65");
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return PlanFrames().size() == 2; })) << client_->Stderr();
  ASSERT_EQ(UnpackCompressedRecord(PlanFrames().back().body, packet), kRecordOk);
  EXPECT_EQ(packet, expected);

  Quit();
}

// The settings file holds a plan whose route and remarks carry line breaks in
// their encoded form: the FAA form (the one in use by default) shows them as
// line breaks, and the plan sent after it was shown and hidden, by the menu and
// by the next login, carries them encoded.
class EncodedPlanEndToEnd : public ClientEndToEnd {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ClientEndToEnd::SetUp());
    AppendSettings("Flight_Type=I\r\nAircraft_Type=A320\r\nDeparture_Airport=LFPG\r\n"
                   "Destination_Airport=EGLL\r\nRoute=ABB UL612%&BIG\r\nRemarks=RMK;TCAS%&PBN\r\n");
  }

  std::vector<FlightPlanRecord> SentPlans() const {
    std::vector<FlightPlanRecord> plans;
    for (const Frame& frame : node_.Frames()) {
      if (frame.header.type != NCSMSG_PILOT || frame.header.subCode != NCSUB_FLIGHT_PLAN) continue;
      FlightPlanPacketBytes packet{};
      if (UnpackCompressedRecord(frame.body, packet) != kRecordOk) continue;
      plans.push_back(ReadFlightPlanRecord(std::span(packet).subspan(kFlightPlanPacketSize - kFlightPlanRecordSize)));
    }
    return plans;
  }
};

TEST_F(EncodedPlanEndToEnd, APlanSentAfterTheFormWasShownCarriesItsLineBreaksEncoded) {
  ASSERT_NO_FATAL_FAILURE(StartClient());
  ASSERT_TRUE(Shows("You have joined your session.")) << client_->Stderr();
  PressConnect();
  ASSERT_NE(DumpUntil("text=0p  0a\n").find("text=0p  0a\n"), std::string::npos) << client_->Stderr();

  Ask("command 7055 32788");
  ASSERT_NE(DumpUntil("window 7004 visible=1").find("window 7004 visible=1"), std::string::npos);
  const auto remarks = Ask("text 7004 7050");
  ASSERT_EQ(remarks.size(), 2u);
  EXPECT_EQ(remarks.front(), "RMK;TCAS\\r\\nPBN") << "the form shows the line break";
  Ask("command 7055 32788");
  ASSERT_NE(DumpUntil("window 7004 visible=0").find("window 7004 visible=0"), std::string::npos);

  Ask("command 7055 32790");
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return SentPlans().size() == 1; })) << client_->Stderr();
  EXPECT_EQ(PlanText(SentPlans().back().remarks), "RMK;TCAS%&PBN");
  EXPECT_EQ(PlanText(SentPlans().back().route), "ABB UL612%&BIG");
  EXPECT_EQ(PlanText(SentPlans().back().flightType), "I");

  // The next login sends it again, as it stands.
  ASSERT_TRUE(node_.DropLink());
  ASSERT_NE(DumpUntil("Reconnecting in 65 seconds").find("Reconnecting in 65 seconds"), std::string::npos);
  Ask("timer 7055 555 65");
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return SentPlans().size() == 2; })) << client_->Stderr();
  EXPECT_EQ(PlanText(SentPlans().back().remarks), "RMK;TCAS%&PBN");
  EXPECT_EQ(PlanText(SentPlans().back().route), "ABB UL612%&BIG");

  Quit();
}

}  // namespace
