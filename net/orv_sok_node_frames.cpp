// The node frame handler's common part: the node way runs it, and so does
// every way whose peer kind is not yet known (a caller on the listening port
// that has not said whether it is a pilot or a controller). The login gate
// refuses what needs a login; the test and text-style types are served on any
// way; what only the node may order is the node way's (HandleNodeOrder).
#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "base/format_text.h"
#include "base/klib_settings.h"
#include "base/print_dlg.h"
#include "net/frame_codes.h"
#include "net/node_records.h"
#include "net/node_trace.h"
#include "net/orv_sok.h"
#include "win/richedit.h"

namespace {
constexpr int kSyserrStandardSub = 4210;
constexpr int kSyserrTextStyleSub = 4230;
constexpr int kSyserrTestSub = 4290;
constexpr std::uint8_t kSystemTestSub = 1;
// Before the login, types from NCSMSG_LOGOUT on are refused, except the
// standard sub-codes up to this one (0: stop reconnecting).
constexpr std::uint8_t kLastUngatedStandardSub = 50;

// The types the node frame handler serves.
bool NodeFrameType(std::uint8_t type) {
  switch (type) {
    case NCSMSG_TEST:
    case NCSMSG_LOGIN:
    case NCSMSG_OPEN_PORT_TEST:
    case kNcsMsgTextAttributes:
    case NCSMSG_LOGOUT:
    case kNcsMsgHeaderOnly:
    case NCSMSG_STANDARD:
    case kNcsMsgConnectNeighbour:
    case NCSMSG_REQ_TUNNCONNECTME:
    case NCSMSG_TRUSTED_IP:
    case NCSMSG_CHECK_INCOCKPIT:
    case NCSMSG_TEXT_LONGHAUL:
    case NCSMSG_ATC:
    case NCSMSG_BLOCK:
      return true;
    default:
      return false;
  }
}
}  // namespace

// ---- Hooks ----

void COrvSok::NodeTrace(int colourField, unsigned flags, const char* text) {
  if (colourField == kNodeHiddenColour) {
    SetTraceFormat(0, kTraceBackground);
  } else if (colourField != kNodeKeepFormat) {
    SetTraceFormat((flags & kNodeBold) != 0 ? CFE_BOLD : 0, Klib().Colour(colourField));
  }
  if ((flags & kNodeNewLine) != 0) {
    TraceLine("%s", text);
  } else {
    Trace("%s", text);
  }
}

void COrvSok::NodeProtocolError(const char* line, const FrameHeader& header, const char* tag) {
  ProtocolError(line, header, tag);
}

void COrvSok::SetTextFormat(DWORD effects, COLORREF colour) { SetTraceFormat(effects, colour); }

void COrvSok::RemoveDelimiters(char first, char second) { TraceRemoveDelimiters(first, second); }

void COrvSok::RemoveDelimitedText(char first, char second) { TraceRemoveDelimitedText(first, second); }

bool COrvSok::Verbose() const { return Klib().TraceBit(16); }

void COrvSok::NodeTracef(int colourField, unsigned flags, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = FormatTextV(format, args);
  va_end(args);
  NodeTrace(colourField, flags, text.c_str());
}

// ---- The handler ----

DWORD COrvSok::HandleNodeFrame(const Frame& frame) {
  const FrameHeader& header = frame.header;
  TraceNodeFrame(header);
  const bool gated =
      header.type >= NCSMSG_LOGOUT && !(header.type == NCSMSG_STANDARD && header.subCode <= kLastUngatedStandardSub);
  // Two frames the gate lets through are the node's alone: an acknowledgement
  // would log a caller in, and only the node stops the reconnecting.
  const bool nodeAlone =
      header.type == NCSMSG_LOGIN || (header.type == NCSMSG_STANDARD && header.subCode == kStandardStopReconnect);
  if ((gated && (LoggedInBits() & kWayLoggedIn) == 0) || (nodeAlone && PeerKind() != 'N')) {
    return RefuseNodeFrame(header);
  }
  switch (header.type) {
    case NCSMSG_TEST:
      if (header.subCode == kSystemTestSub) {
        NodeTracef(kColour25, kNodeNewLine, "\t %s %s System Test SYSTEST_%04d ", kNodeLogTag, Name(),
                   header.subCode);
      } else {
        NodeTracef(kColourError, kNodeNewLine, "%s %s System Error SYSERR_%d : %d / %d ", kNodeLogTag, Name(),
                   kSyserrTestSub, header.type, header.subCode);
      }
      return 1;
    case NCSMSG_OPEN_PORT_TEST:
      return OpenPortTest(header);
    case kNcsMsgTextAttributes:
      return TextStyle(frame);
    default:
      return HandleNodeOrder(frame);
  }
}

// What only the node orders is never taken from another way: it is refused as
// the gate refuses. The standard sub-codes that pass the gate are unknown ones.
DWORD COrvSok::HandleNodeOrder(const Frame& frame) {
  const FrameHeader& header = frame.header;
  if (header.type == NCSMSG_STANDARD && header.subCode <= kLastUngatedStandardSub) {
    return FrameError(kSyserrStandardSub, header, "HRFN_20");
  }
  if (NodeFrameType(header.type)) return RefuseNodeFrame(header);
  return FrameError(kSyserrUnknownNodeType, header, "HRFN_200");
}

DWORD COrvSok::RefuseNodeFrame(const FrameHeader& header) {
  NodeTracef(kColour28, kNodeNewLine, "\t\t %s %s RxNL %d / %d", kNodeLogTag, Name(), header.type, header.subCode);
  Pause(kNodeShortPauseMs);
  SetStopCountdown(0);
  Disconnect("HRFN_0");
  return 0;
}

void COrvSok::TraceNodeFrame(const FrameHeader& header) {
  const int type = header.type;
  const int sub = header.subCode;
  if (!Verbose()) {
    if (!NodeFrameType(header.type)) {
      NodeTracef(kColourNormal, kNodeNewLine, "\t\t \t%s %s Rx NCSMSG_NXXX = %d / %d", kNodeLogTag, Name(), type, sub);
    }
    return;
  }
  const char* named = nullptr;
  switch (header.type) {
    case NCSMSG_TEST:
      named = "\t%s %s Rx NCSMSG_TEST ( %d )";
      break;
    case NCSMSG_LOGIN:
      named = "\t%s %s Rx NCSMSG_LOGIN ( %d )";
      break;
    case NCSMSG_OPEN_PORT_TEST:
      named = "\t%s %s Rx NCSMSG_OPEN_PORT_TEST ( %d )";
      break;
    case NCSMSG_LOGOUT:
      named = "\t%s %s Rx NCSMSG_LOGOUT ( %d )";
      break;
    case NCSMSG_STANDARD:
      named = "\t%s %s Rx NCSMSG_STANDARD ( %d )";
      break;
    case NCSMSG_REQ_TUNNCONNECTME:
      named = "\t%s %s Rx NCSMSG_REQ_TUNNCONNECTME ( %d )";
      break;
    case NCSMSG_TRUSTED_IP:
      named = "\t%s %s Rx NCSMSG_TRUSTED_IP ( %d )";
      break;
    case NCSMSG_ATC:
      named = "\t%s %s Rx NCSMSG_ATC ( %d )";
      break;
    case NCSMSG_CHECK_INCOCKPIT:
      NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Rx NCSMSG_CHECK_INCOCKPIT", kNodeLogTag, Name());
      return;
    case NCSMSG_TEXT_LONGHAUL:
      NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Rx NCSMSG_TEXT_LONGHAUL", kNodeLogTag, Name());
      return;
    case NCSMSG_BLOCK:
      NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Rx NCSMSG_BLOCK", kNodeLogTag, Name());
      return;
    case kNcsMsgTextAttributes:
    case kNcsMsgHeaderOnly:
    case kNcsMsgConnectNeighbour:
      return;
    default:
      NodeTracef(kColourNormal, kNodeNewLine, "\t%s %s Rx NCSMSG_XXX = %d / %d", kNodeLogTag, Name(), type, sub);
      return;
  }
  NodeTrace(kColourNormal, kNodeNewLine, FormatText(named, kNodeLogTag, Name(), sub).c_str());
}

bool COrvSok::BodyHolds(const Frame& frame, std::size_t size) {
  if (!frame.bodySkipped && frame.body.size() >= size) return true;
  ShortBody(frame.header);
  return false;
}

void COrvSok::ShortBody(const FrameHeader& header) {
  const std::string line = FormatText("%s %s System Error SYSERR_4280 : %d / %d ( length %u )", kNodeLogTag, Name(),
                                header.type, header.subCode, static_cast<unsigned>(header.length));
  NodeProtocolError(line.c_str(), header, "HRFN_LEN");
}

DWORD COrvSok::FrameError(int code, const FrameHeader& header, const char* tag) {
  const std::string line =
      FormatText("%s %s System Error SYSERR_%d : %d / %d ", kNodeLogTag, Name(), code, header.type, header.subCode);
  NodeProtocolError(line.c_str(), header, tag);
  return 0;
}

// ---- Tests of the link ----

DWORD COrvSok::OpenPortTest(const FrameHeader& header) {
  if (header.subCode != kOpenPortTestRequest) {
    Pause(kOpenPortTestPauseMs);
    Pause(kNodeShortPauseMs);
    SetStopCountdown(0);
    Disconnect("HRFN_OPT0");
    return 0;
  }
  Pause(kOpenPortTestPauseMs);
  // The answer carries the type and sub-code of the last frame this way sent.
  FrameHeader reply = outgoingHeader_;
  reply.flags = 0;
  SendFrame(reply, MakeOpenPortTestReply());
  Pause(kNodeShortPauseMs);
  SetStopCountdown(1);
  return 1;
}

// ---- Text styles ----

DWORD COrvSok::TextStyle(const Frame& frame) {
  const FrameHeader& header = frame.header;
  switch (header.subCode) {
    case kTextStyleLineBreak:
      NodeTrace(kNodeKeepFormat, kNodeNewLine, "");
      return 1;
    case kTextStyleSetAttrib: {
      if (!BodyHolds(frame, 2)) return 0;
      std::string text;
      const std::int32_t result = ReadSetAttribBody(frame.body, text);
      if (result == kNodeRecordTooLong) {
        const unsigned length = frame.body[0] | (frame.body[1] << 8);
        const std::string line =
            FormatText("%s %s System Error SYSERR_4220 : NCSUB_SETATTRIB / Len %u ", kNodeLogTag, Name(), length);
        NodeProtocolError(line.c_str(), header, "HRFN_30");
        return 0;
      }
      if (result != kNodeRecordOk) {
        ShortBody(header);
        return 0;
      }
      // The node's text is printed as it stands: a '%' in it is no format.
      NodeTrace(kNodeKeepFormat, 0, text.c_str());
      return 1;
    }
    case kTextStyleFormat:
    case kTextStyleRemoveDelimiters:
    case kTextStyleRemoveBetween: {
      if (!BodyHolds(frame, kTextStylePairSize)) return 0;
      TextStylePair pair;
      ReadTextStylePair(frame.body, pair);
      if (header.subCode == kTextStyleFormat) {
        SetTextFormat(pair.first, pair.second);
      } else if (Klib().traceMask.load() == 0) {
        const auto first = static_cast<char>(pair.first & 0xFF);
        const auto second = static_cast<char>(pair.second & 0xFF);
        if (header.subCode == kTextStyleRemoveDelimiters) {
          RemoveDelimiters(first, second);
        } else {
          RemoveDelimitedText(first, second);
        }
      }
      return 1;
    }
    default:
      return FrameError(kSyserrTextStyleSub, header, "HRFN_40");
  }
}
